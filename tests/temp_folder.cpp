#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace ripwarden::testing {

TempFolder::TempFolder() {
  // A new name each try: create_directory is false for one already there.
  static std::mt19937_64 names{std::random_device{}()};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("ripwarden-test-" + std::to_string(names() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, error);
      path_ = candidate.generic_string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(std::string_view name, std::string_view content) const {
  const std::filesystem::path full = Utf8Path(Path(name));
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return Path(name);
}

std::string TempFolder::Read(std::string_view name) const { return ReadFileBytes(Path(name)); }

std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(Utf8Path(path)); }

std::string Utf16File(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

}  // namespace ripwarden::testing
