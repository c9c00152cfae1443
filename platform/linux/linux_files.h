#pragma once

#include "platform/files.h"

namespace ripwarden::linux_platform {

// Files on a POSIX file system. A file counts as writable only when it can be
// opened for writing and some write permission bit is set, so that a file
// marked read-only stays read-only even for the superuser.
class LinuxFiles final : public Files {
 public:
  std::unique_ptr<OpenFile> Open(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenForReading(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  std::optional<FileStamp> ProgramStamp(const std::string& program) override;
  bool CreateEmptyFile(const std::string& path) override;
  bool CreateFile(const std::string& path, std::string_view content) override;
  SystemResult RemoveFile(const std::string& path) override;
  SystemResult RenameFile(const std::string& from, const std::string& to) override;
  SystemResult FlushFile(const std::string& path) override;
  SystemResult MakeFolders(const std::string& path) override;
  bool RemoveTree(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& path) override;
};

}  // namespace ripwarden::linux_platform
