#include "fakes/fake_files.h"

namespace ripwarden::testing {

class FakeFiles::Handle final : public OpenFile {
 public:
  Handle(std::shared_ptr<Entry> entry, bool writable) : entry_(std::move(entry)), writable_(writable) {}

  bool Writable() const override { return writable_; }
  std::optional<std::string> ReadAll() override { return entry_->content; }
  bool ReplaceContent(std::string_view content) override {
    if (!writable_) return false;
    entry_->content = std::string(content);
    ++entry_->version;
    return true;
  }

 private:
  std::shared_ptr<Entry> entry_;
  bool writable_;
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
  return std::make_unique<Handle>(found->second, found->second->writable);
}

std::unique_ptr<OpenFile> FakeFiles::OpenForReading(const std::string& path) {
  const auto found = files_.find(path);
  if (found == files_.end()) return nullptr;
  return std::make_unique<Handle>(found->second, false);
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

bool FakeFiles::RemoveFile(const std::string& path) {
  if (refuse_removal.count(path) != 0 || files_.erase(path) == 0) return false;
  removed.push_back(path);
  return true;
}

}  // namespace ripwarden::testing
