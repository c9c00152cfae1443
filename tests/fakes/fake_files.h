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
  bool RemoveFile(const std::string& path) override;

  std::set<std::string> refuse_removal;  // paths that RemoveFile fails on
  std::vector<std::string> removed;      // paths removed, in order

 private:
  struct Entry {
    std::string content;
    bool writable = true;
  };
  class Handle;

  std::map<std::string, std::shared_ptr<Entry>> files_;
};

}  // namespace ripwarden::testing
