#include "platform/linux/volume_probe.h"

#include <blkid/blkid.h>

namespace ripwarden::linux_platform {

namespace {

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  if (blkid_probe_lookup_value(probe, name, &data, nullptr) != 0 || data == nullptr) return {};
  return data;
}

}  // namespace

std::optional<VolumeInfo> ProbeVolume(int fd) {
  blkid_probe probe = blkid_new_probe();
  if (probe == nullptr) return std::nullopt;
  std::optional<VolumeInfo> volume;
  if (blkid_probe_set_device(probe, fd, 0, 0) == 0) {
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL);
    blkid_probe_filter_superblocks_usage(probe, BLKID_FLTR_ONLYIN, BLKID_USAGE_FILESYSTEM);
    // A DVD carries UDF with an ISO 9660 bridge; libblkid reports that as UDF.
    if (blkid_do_safeprobe(probe) == 0) {
      VolumeInfo found{Value(probe, "TYPE"), Value(probe, "LABEL")};
      if (!found.file_system.empty()) volume = std::move(found);
    }
  }
  blkid_free_probe(probe);
  return volume;
}

}  // namespace ripwarden::linux_platform
