#pragma once

#include <cstdint>
#include <memory>

namespace ripwarden::helper {

inline constexpr int kBlockBytes = 2048;

// The files of one title set (0 is the VIDEO_TS set), as the disc names them.
enum class DvdFileKind { kInfo, kBackup, kMenu, kTitle };

// One file on the disc, read in whole blocks. The title VOBs of a set are one
// file here, as libdvdread reads them.
class DvdFile {
 public:
  virtual ~DvdFile() = default;
  virtual std::int64_t Blocks() const = 0;
  // Fills `count` blocks from block `first`; false when any of them failed.
  virtual bool Read(std::int64_t first, int count, unsigned char* out) = 0;
};

// What the copier reads: a disc, an image or a VIDEO_TS folder.
class DvdSource {
 public:
  virtual ~DvdSource() = default;
  virtual int TitleSets() const = 0;
  // Nothing when the disc has no such file.
  virtual std::unique_ptr<DvdFile> Open(int title_set, DvdFileKind kind) = 0;
};

}  // namespace ripwarden::helper
