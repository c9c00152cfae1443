#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace ripwarden::testing {

// Files held in memory. An open handle keeps reading what it opened, even
// after the path was removed, as on a POSIX file system.
class FakeFiles final : public Files {
 public:
  void Put(const std::string& path, std::string content, bool writable = true);
  std::optional<std::string> Content(const std::string& path) const;
  bool Exists(const std::string& path) const { return files_.count(path) != 0; }

  std::unique_ptr<OpenFile> Open(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenForReading(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  bool CreateEmptyFile(const std::string& path) override;
  bool CreateFile(const std::string& path, std::string_view content) override;
  SystemResult RemoveFile(const std::string& path) override;
  SystemResult RenameFile(const std::string& from, const std::string& to) override;
  SystemResult FlushFile(const std::string& path) override;
  SystemResult MakeFolders(const std::string& path) override;
  bool RemoveTree(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) const { return folders_.count(path) != 0; }
  // A folder that Stamp reports as existing.
  void PutFolder(const std::string& path) { folders_.insert(path); }

  std::set<std::string> refuse_reading;  // paths whose ReadAll fails, as on a failing disk
  std::set<std::string> refuse_removal;  // paths that RemoveFile fails on
  std::vector<std::string> removed;      // paths removed, in order
  std::set<std::string> refuse_rename;   // source paths that RenameFile fails on
  // The reason the refusals above give.
  std::string refusal_reason = "Permission denied";
  // Each rename as "from -> to", with " (flushed)" when from's data had been
  // flushed since it was last put.
  std::vector<std::string> renames;

 private:
  struct Entry {
    std::string content;
    bool writable = true;
    std::int64_t version = 0;
    bool flushed = false;
  };
  class Handle;

  std::map<std::string, std::shared_ptr<Entry>> files_;
  std::set<std::string> folders_;
  std::int64_t next_version_ = 1;
};

}  // namespace ripwarden::testing
