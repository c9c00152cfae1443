#pragma once

#include <string>
#include <utility>

namespace ripwarden {

// What a call to the system came to: success, or failure with the reason the
// system gave, in its own words, for logs and messages.
class SystemResult {
 public:
  SystemResult() = default;

  static SystemResult Failed(std::string reason) {
    SystemResult result;
    result.failed_ = true;
    result.reason_ = std::move(reason);
    return result;
  }

  explicit operator bool() const { return !failed_; }

  // Empty on success.
  const std::string& reason() const { return reason_; }

 private:
  bool failed_ = false;
  std::string reason_;
};

}  // namespace ripwarden
