#include "platform/linux/posix_path_rules.h"

namespace ripwarden::linux_platform {

// Drive names never start with "/": a relative image path would be taken for a drive.
bool PosixPathRules::IsPathSource(std::string_view source) const { return source.starts_with('/'); }

std::string PosixPathRules::JoinPath(std::string_view folder, std::string_view name) const {
  // A folder typed into the settings file without its slash still holds the file.
  std::string path(folder);
  if (!path.empty() && !path.ends_with('/')) path += '/';
  return path.append(name);
}

std::string PosixPathRules::StoredFolder(std::string_view folder) const {
  std::string stored(folder);
  if (!stored.empty() && !stored.ends_with('/')) stored += '/';
  return stored;
}

std::string PosixPathRules::ChooserFolder(std::string_view folder) const {
  std::string shown(folder);
  if (shown.size() > 1 && shown.ends_with('/')) shown.pop_back();
  return shown;
}

}  // namespace ripwarden::linux_platform
