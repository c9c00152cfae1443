#include "platform/win32/win32_path_rules.h"

namespace ripwarden::win32_platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool EndsWithSeparator(std::string_view text) { return !text.empty() && IsSeparator(text.back()); }
// "C:" and nothing more: a drive, or the root of one once a separator follows.
bool IsDriveLetter(std::string_view text) {
  return text.size() == 2 && text[1] == ':' && ((text[0] | 0x20) >= 'a' && (text[0] | 0x20) <= 'z');
}

}  // namespace

// A drive is its letter and colon ("D:", as drives are stored); anything with
// a separator in it is a file or folder.
bool Win32PathRules::IsPathSource(std::string_view source) const {
  return source.find_first_of("\\/") != std::string_view::npos;
}

std::string Win32PathRules::JoinPath(std::string_view folder, std::string_view name) const {
  std::string path(folder);
  if (!path.empty() && !EndsWithSeparator(path)) path += '\\';
  return path.append(name);
}

std::string Win32PathRules::StoredFolder(std::string_view folder) const {
  std::string stored(folder);
  if (!stored.empty() && !EndsWithSeparator(stored)) stored += '\\';
  return stored;
}

std::string Win32PathRules::ChooserFolder(std::string_view folder) const {
  std::string shown(folder);
  // "C:\" stays: "C:" alone means the drive's current folder.
  if (EndsWithSeparator(shown) && shown.size() > 1 &&
      !IsDriveLetter(std::string_view(shown).substr(0, shown.size() - 1)))
    shown.pop_back();
  return shown;
}

}  // namespace ripwarden::win32_platform
