#include "fakes/fake_drives.h"

#include <algorithm>

namespace ripwarden::testing {

namespace {

bool IsDriveName(const std::string& source) {
  return source.size() > 2 && source.starts_with("sr") &&
         std::all_of(source.begin() + 2, source.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An absolute path, as either system writes one: images stand in for drives.
bool IsImagePath(const std::string& source) {
  return source.starts_with('/') ||
         (source.size() > 2 && source[1] == ':' && (source[2] == '/' || source[2] == '\\'));
}

}  // namespace

void FakeDrives::AddDrive(const std::string& name, const std::string& model) { drives_[name] = model; }

void FakeDrives::InsertDisc(const std::string& source, VolumeInfo volume) {
  media_[source] = std::move(volume);
}

void FakeDrives::RemoveDisc(const std::string& source) { media_.erase(source); }

// A Windows drive, its letter, only when a test added it: elsewhere "D" is
// a setting that names no drive.
bool FakeDrives::IsLetterDrive(const std::string& source) const {
  return source.size() == 1 && source[0] >= 'A' && source[0] <= 'Z' && drives_.count(source) != 0;
}

std::optional<VolumeInfo> FakeDrives::QueryVolume(const std::string& source) {
  ++volume_queries;
  if (!IsDriveName(source) && !IsImagePath(source) && !IsLetterDrive(source)) return std::nullopt;
  const auto found = media_.find(source);
  if (found == media_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> FakeDrives::ListDrives() {
  std::vector<std::string> entries;
  for (const auto& [name, model] : drives_) {
    std::string entry = name + ":";
    const auto disc = media_.find(name);
    if (disc != media_.end() && !disc->second.label.empty()) entry += " " + disc->second.label;
    if (!model.empty()) entry += " (" + model + ")";
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string FakeDrives::EncoderInputPath(const std::string& source) {
  if (IsDriveName(source)) return "/dev/" + source;
  if (IsLetterDrive(source)) return source + ":";
  return IsImagePath(source) ? source : std::string();
}

void FakeDrives::EjectDrive(const std::string& source) {
  ejected.push_back(source);
  if (IsDriveName(source) || IsLetterDrive(source)) media_.erase(source);
}

void FakeDrives::LoadDrive(const std::string& source) { loaded.push_back(source); }

}  // namespace ripwarden::testing
