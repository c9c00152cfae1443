#pragma once

#include <optional>
#include <string>

namespace ripwarden::helper {

// The length a finished file's container gives, read with libavformat
// without decoding; nothing, with why, when it cannot be opened or gives none.
std::optional<double> MediaDuration(const std::string& path, std::string& why);

}  // namespace ripwarden::helper
