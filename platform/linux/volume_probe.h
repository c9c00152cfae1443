#pragma once

#include <optional>

#include "platform/drives.h"

namespace ripwarden::linux_platform {

// The file system on an open device or image, as libblkid sees it without
// mounting: its type and label. Nothing when no file system is found or the
// finding is ambiguous.
std::optional<VolumeInfo> ProbeVolume(int fd);

}  // namespace ripwarden::linux_platform
