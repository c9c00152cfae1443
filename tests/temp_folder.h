#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ripwarden::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes name (creating its folders) with exactly these bytes; returns the full path.
  std::string Write(std::string_view name, std::string_view content) const;
  std::string Read(std::string_view name) const;

 private:
  std::string path_;
};

// A UTF-8 path as the standard library takes it on every system (a plain
// string is read in the ANSI code page on Windows).
std::filesystem::path Utf8Path(const std::string& path);

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// Text as Notepad saves it as "Unicode": UTF-16 after its byte-order mark.
std::string Utf16File(std::u16string_view text, bool big_endian = false);

}  // namespace ripwarden::testing
