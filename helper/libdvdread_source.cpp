#include "helper/libdvdread_source.h"

#include <cstdarg>
#include <cstdio>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
}

namespace ripwarden::helper {

namespace {

// Our caller reads standard output; the library's complaints go to standard error.
void LogToStandardError(void*, dvd_logger_level_t level, const char* format, va_list arguments) {
  if (level != DVD_LOGGER_LEVEL_ERROR && level != DVD_LOGGER_LEVEL_WARN) return;
  std::fputs("libdvdread: ", stderr);
  std::vfprintf(stderr, format, arguments);
  std::fputc('\n', stderr);
}

const dvd_logger_cb kLogger = {LogToStandardError};

dvd_read_domain_t Domain(DvdFileKind kind) {
  switch (kind) {
    case DvdFileKind::kInfo:
      return DVD_READ_INFO_FILE;
    case DvdFileKind::kBackup:
      return DVD_READ_INFO_BACKUP_FILE;
    case DvdFileKind::kMenu:
      return DVD_READ_MENU_VOBS;
    case DvdFileKind::kTitle:
      break;
  }
  return DVD_READ_TITLE_VOBS;
}

class LibDvdReadFile : public DvdFile {
 public:
  LibDvdReadFile(dvd_file_t* file, DvdFileKind kind) : file_(file), kind_(kind), blocks_(DVDFileSize(file)) {}
  ~LibDvdReadFile() override { DVDCloseFile(file_); }
  LibDvdReadFile(const LibDvdReadFile&) = delete;
  LibDvdReadFile& operator=(const LibDvdReadFile&) = delete;

  std::int64_t Blocks() const override { return blocks_; }

  bool Read(std::int64_t first, int count, unsigned char* out) override {
    // libdvdread reads only the VOBs by block; the IFO and BUP by byte.
    if (kind_ == DvdFileKind::kMenu || kind_ == DvdFileKind::kTitle) {
      return DVDReadBlocks(file_, static_cast<int>(first), static_cast<std::size_t>(count), out) == count;
    }
    const auto offset = static_cast<std::int32_t>(first * kBlockBytes);
    const auto bytes = static_cast<std::size_t>(count) * kBlockBytes;
    return DVDFileSeek(file_, offset) == offset &&
           DVDReadBytes(file_, out, bytes) == static_cast<ssize_t>(bytes);
  }

 private:
  dvd_file_t* file_;
  DvdFileKind kind_;
  std::int64_t blocks_;
};

class LibDvdReadSource : public DvdSource {
 public:
  LibDvdReadSource(dvd_reader_t* dvd, int title_sets) : dvd_(dvd), title_sets_(title_sets) {}
  ~LibDvdReadSource() override { DVDClose(dvd_); }
  LibDvdReadSource(const LibDvdReadSource&) = delete;
  LibDvdReadSource& operator=(const LibDvdReadSource&) = delete;

  int TitleSets() const override { return title_sets_; }

  std::unique_ptr<DvdFile> Open(int title_set, DvdFileKind kind) override {
    dvd_file_t* file = DVDOpenFile(dvd_, title_set, Domain(kind));
    if (file == nullptr) return nullptr;
    return std::make_unique<LibDvdReadFile>(file, kind);
  }

 private:
  dvd_reader_t* dvd_;
  int title_sets_;
};

}  // namespace

std::unique_ptr<DvdSource> OpenDvdSource(const std::string& path, std::string& why) {
  dvd_reader_t* dvd = DVDOpen2(nullptr, &kLogger, path.c_str());
  if (dvd == nullptr) {
    why = "Cannot open " + path + " as a DVD.";
    return nullptr;
  }
  ifo_handle_t* manager = ifoOpen(dvd, 0);
  if (manager == nullptr || manager->vmgi_mat == nullptr) {
    if (manager != nullptr) ifoClose(manager);
    DVDClose(dvd);
    why = path + " holds no DVD video: its VIDEO_TS.IFO cannot be read.";
    return nullptr;
  }
  const int title_sets = manager->vmgi_mat->vmg_nr_of_title_sets;
  ifoClose(manager);
  return std::make_unique<LibDvdReadSource>(dvd, title_sets);
}

}  // namespace ripwarden::helper
