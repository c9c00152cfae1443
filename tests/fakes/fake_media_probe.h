#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_process_runner.h"

namespace ripwarden::testing {

// The helper program's whole-file check, answered at once by the fake
// runner: the files listed read as whole media of that length.
struct FakeMediaProbe {
  static constexpr const char* kHelper = "/fake/ripwarden-helper";

  std::optional<FakeProcessRunner::Answer> Answer(const std::vector<std::string>& arguments) const {
    if (arguments.size() != 2 || arguments[0] != "duration") return std::nullopt;
    const auto found = durations.find(arguments[1]);
    if (found == durations.end()) return FakeProcessRunner::Answer{"Error: no duration\n", 1};
    return FakeProcessRunner::Answer{"Duration: " + std::to_string(found->second) + "\n", 0};
  }
  std::map<std::string, double> durations;  // files that read as whole media
};

}  // namespace ripwarden::testing
