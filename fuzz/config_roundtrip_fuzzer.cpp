// Parsing what the writer produced must give back exactly what was parsed:
// otherwise a write-back would silently change settings the user never touched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/config_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ripwarden::ConfigText first = ripwarden::ParseConfig(input);
  const std::string written = ripwarden::SerializeConfig(first);
  const ripwarden::ConfigText second = ripwarden::ParseConfig(written);
  if (!(first == second)) std::abort();
  if (ripwarden::SerializeConfig(second) != written) std::abort();
  return 0;
}
