// A disc's label becomes part of a file name. Whatever the label (and the
// container in the settings file), the output file must be one safe name
// inside the destination folder that still carries the rip's time stamp.
//
// Input: a byte whose lowest bit ends the destination with "/", the start date
// as six four-byte numbers (least significant first), a length byte and that
// many bytes of container, then the label.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "platform/linux/posix_path_rules.h"
#include "rip/date_format.h"
#include "rip/encoder_command.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

void RequireSafeName(std::string_view name) {
  Require(name != "." && name != "..");
  Require(name.find('/') == std::string_view::npos);
  for (const char c : name) Require(static_cast<unsigned char>(c) >= 32 && c != 127);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ripwarden;
  fuzz::FuzzInput input(data, size);
  RipRequest request;
  request.input_path = "/dev/sr0";
  const bool slash = input.TakeBool();
  request.destination = slash ? "/srv/rips/" : "/srv/rips";
  LocalDateTime& start = request.start;
  for (int* field : {&start.year, &start.month, &start.day, &start.hour, &start.minute, &start.second}) {
    *field = input.TakeInt();
  }
  request.container = input.TakeShortText();
  request.label = input.TakeRest();

  RequireSafeName(CleanFileName(request.label));

  const std::string output = BuildEncoderCommand(request, {}, linux_platform::PosixPathRules()).output_file;
  Require(output.starts_with("/srv/rips/"));
  const std::string name = output.substr(std::string_view("/srv/rips/").size());
  RequireSafeName(name);
  Require(!name.starts_with('.'));  // a hidden rip looks like a lost one
  Require(name.size() <= 255);
  Require(name.find(FormatDate("_(%yyyy-%mm-%dd_%hh-%ii-%ss)", request.start)) != std::string::npos);
  if (IsValidUtf8(request.label) && IsValidUtf8(request.container)) Require(IsValidUtf8(name));
  return 0;
}
