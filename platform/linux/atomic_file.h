#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace ripwarden::linux_platform {

// Replaces the file at path (following a symbolic link to its target) with
// content: the new text goes to an unnamed file in the same folder, is flushed
// to disk, and is then renamed over the old file, so that a crash at any
// moment leaves either the old or the new file. False, with the old file
// untouched, on any failure.
bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode,
                           uid_t owner = static_cast<uid_t>(-1), gid_t group = static_cast<gid_t>(-1));

// Makes a new file at path holding content, in the same way; false when
// something is already there (it is left as it is) or on any failure.
bool CreateFileAtomically(const std::string& path, std::string_view content, mode_t mode);

// Writes all of content to fd, retrying after interruptions and short writes.
bool WriteAll(int fd, std::string_view content);

}  // namespace ripwarden::linux_platform
