#include "fakes/fake_files.h"

namespace ripwarden::testing {

class FakeFiles::Handle final : public OpenFile {
 public:
  Handle(std::shared_ptr<Entry> entry, bool writable, bool readable)
      : entry_(std::move(entry)), writable_(writable), readable_(readable) {}

  bool Writable() const override { return writable_; }
  std::optional<std::string> ReadAll() override {
    if (!readable_) return std::nullopt;
    return entry_->content;
  }
  bool ReplaceContent(std::string_view content) override {
    if (!writable_) return false;
    entry_->content = std::string(content);
    ++entry_->version;
    return true;
  }

 private:
  std::shared_ptr<Entry> entry_;
  bool writable_;
  bool readable_;
};

void FakeFiles::Put(const std::string& path, std::string content, bool writable) {
  files_[path] = std::make_shared<Entry>(Entry{std::move(content), writable, next_version_++});
}

std::optional<std::string> FakeFiles::Content(const std::string& path) const {
  const auto found = files_.find(path);
  if (found == files_.end()) return std::nullopt;
  return found->second->content;
}

std::unique_ptr<OpenFile> FakeFiles::Open(const std::string& path) {
  const auto found = files_.find(path);
  if (found == files_.end()) return nullptr;
  return std::make_unique<Handle>(found->second, found->second->writable, refuse_reading.count(path) == 0);
}

std::unique_ptr<OpenFile> FakeFiles::OpenForReading(const std::string& path) {
  const auto found = files_.find(path);
  if (found == files_.end()) return nullptr;
  return std::make_unique<Handle>(found->second, false, refuse_reading.count(path) == 0);
}

std::optional<FileStamp> FakeFiles::Stamp(const std::string& path) {
  if (folders_.count(path) != 0) return FileStamp{true, 0, 0};
  const auto found = files_.find(path);
  if (found == files_.end()) return std::nullopt;
  return FileStamp{false, found->second->content.size(), found->second->version};
}

bool FakeFiles::CreateEmptyFile(const std::string& path) {
  if (!Exists(path)) Put(path, "");
  return true;
}

bool FakeFiles::CreateFile(const std::string& path, std::string_view content) {
  if (Exists(path) || folders_.count(path) != 0) return false;
  Put(path, std::string(content));
  return true;
}

SystemResult FakeFiles::RemoveFile(const std::string& path) {
  if (refuse_removal.count(path) != 0) return SystemResult::Failed(refusal_reason);
  if (files_.erase(path) == 0) return SystemResult::Failed("No such file or directory");
  removed.push_back(path);
  return {};
}

SystemResult FakeFiles::RenameFile(const std::string& from, const std::string& to) {
  if (refuse_rename.count(from) != 0) return SystemResult::Failed(refusal_reason);
  if (Exists(to) || IsFolder(to)) return SystemResult::Failed("File exists");
  if (IsFolder(from)) {
    // The folder and everything in it.
    const auto moved = [&](const std::string& path) { return to + path.substr(from.size()); };
    std::map<std::string, std::shared_ptr<Entry>> files;
    for (auto& [path, entry] : files_)
      files[path == from || path.starts_with(from + "/") ? moved(path) : path] = entry;
    std::set<std::string> folders;
    for (const std::string& path : folders_)
      folders.insert(path == from || path.starts_with(from + "/") ? moved(path) : path);
    files_ = std::move(files);
    folders_ = std::move(folders);
    renames.push_back(from + " -> " + to);
    return {};
  }
  const auto found = files_.find(from);
  if (found == files_.end()) return SystemResult::Failed("No such file or directory");
  renames.push_back(from + " -> " + to + (found->second->flushed ? " (flushed)" : ""));
  files_[to] = found->second;
  files_.erase(found);
  return {};
}

SystemResult FakeFiles::FlushFile(const std::string& path) {
  const auto found = files_.find(path);
  if (found == files_.end()) return SystemResult::Failed("No such file or directory");
  found->second->flushed = true;
  return {};
}

SystemResult FakeFiles::MakeFolders(const std::string& path) {
  if (Exists(path)) return SystemResult::Failed("File exists");
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    folders_.insert(path.substr(0, slash));
  folders_.insert(path);
  return {};
}

namespace {
bool IsWithin(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}
}  // namespace

bool FakeFiles::RemoveTree(const std::string& path) {
  for (auto it = files_.begin(); it != files_.end();) {
    it = (it->first == path || IsWithin(it->first, path)) ? files_.erase(it) : std::next(it);
  }
  for (auto it = folders_.begin(); it != folders_.end();) {
    it = (*it == path || IsWithin(*it, path)) ? folders_.erase(it) : std::next(it);
  }
  return true;
}

std::vector<std::string> FakeFiles::ListFolder(const std::string& path) {
  std::set<std::string> names;
  auto take = [&](const std::string& entry) {
    if (!IsWithin(entry, path)) return;
    const std::string rest = entry.substr(path.size() + 1);
    names.insert(rest.substr(0, rest.find('/')));
  };
  for (const auto& [entry, unused] : files_) take(entry);
  for (const auto& folder : folders_) take(folder);
  return {names.begin(), names.end()};
}

}  // namespace ripwarden::testing
