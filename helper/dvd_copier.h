#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "helper/dvd_source.h"

namespace ripwarden::helper {

inline constexpr int kCopiedWell = 0;
inline constexpr int kCopyUnreadableSource = 1;
inline constexpr int kCopiedDamaged = 2;
inline constexpr int kCopyNoSpace = 3;
inline constexpr int kCopyNotWritten = 4;

struct CopyOptions {
  // A title VOB is split where a disc splits it: at 1 GiB.
  std::int64_t blocks_per_title_vob = 524288;
};

// Copies every title set of `source` into folder/VIDEO_TS (folder must not
// exist yet; its parent must), saying each line of its output through `say`.
// Returns the program's exit code.
int CopyDvd(DvdSource& source, const std::filesystem::path& folder,
            const std::function<void(const std::string&)>& say, const CopyOptions& options = {});

}  // namespace ripwarden::helper
