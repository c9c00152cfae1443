// The encoder's log is whatever the encoder (or a damaged disc's text) puts
// on standard error, and history lines may be edited by hand: neither may
// crash the reader, and any text a record holds must come back from its line.
//
// Input: any bytes, read as a log, as a history line, and as the texts of a
// record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rip/encoder_log.h"
#include "rip/rip_history.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ripwarden::EncoderLogFacts facts = ripwarden::ReadEncoderLog(input);
  Require(facts.reason.find('\n') == std::string::npos);
  (void)ripwarden::ParseRecordLine(input);

  ripwarden::RipRecord record;
  const std::size_t third = size / 3;
  record.id = std::string(input.substr(0, third)) + "x";
  record.label = std::string(input.substr(third, third));
  record.output = std::string(input.substr(2 * third));
  record.reason = record.label + record.output;
  record.frames_encoded = static_cast<std::int64_t>(size);
  record.titles.push_back({static_cast<int>(size), record.label, "failed", record.output, 1.5, std::nullopt});
  const std::string line = ripwarden::RecordLine(record);
  Require(line.find('\n') == std::string::npos);
  const auto back = ripwarden::ParseRecordLine(line);
  Require(back.has_value() && *back == record);
  return 0;
}
