#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"

namespace ripwarden::win32_platform {

// Files through the wide Win32 calls; "/" and "\" both separate folders. A
// file is held open for reading and writing with others allowed to read only.
//
// Text files written by earlier programs are in the ANSI code page, not
// UTF-8: content that is not well-formed UTF-8 (and has no byte-order mark)
// is read in that code page and handed out as UTF-8, and written back in it
// while every character has a form there, so that the file keeps its meaning
// for both the program and whoever wrote it.
class Win32Files final : public Files {
 public:
  std::unique_ptr<OpenFile> Open(const std::string& path) override;
  std::unique_ptr<OpenFile> OpenForReading(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  // The file the process runner would start (ResolveProgram).
  std::optional<FileStamp> ProgramStamp(const std::string& program) override;
  bool CreateEmptyFile(const std::string& path) override;
  bool CreateFile(const std::string& path, std::string_view content) override;
  SystemResult RemoveFile(const std::string& path) override;
  SystemResult RenameFile(const std::string& from, const std::string& to) override;
  SystemResult FlushFile(const std::string& path) override;
  SystemResult MakeFolders(const std::string& path) override;
  // A junction or symbolic link inside the tree is removed itself, never
  // what it points to; read-only entries go too, as on Linux.
  bool RemoveTree(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& path) override;
};

// Writes content to a new file beside path, flushes it to the disk, then puts
// it in path's place in one step (MoveFileExW with write-through, the old
// file's attributes kept), so that a crash at any moment leaves the old or
// the new file; what an earlier writer killed halfway left beside it is
// removed. Without replace, false when something is at path already. False,
// with path untouched, on failure.
bool StoreFileSafely(const std::string& path, std::string_view content, bool replace);

// Creates a folder and its parents; succeeds when it exists afterwards. Under a
// network share ("\\server\share\a") and in the long form ("\\?\C:\a",
// "\\?\UNC\server\share\a") too.
SystemResult MakeFolders(const std::string& path);

// How much of a path (backslashes only) is its root, which holds the folders
// but is none itself: "C:" of "C:\a", "\\server\share" of "\\server\share\a",
// "\\?\C:" of "\\?\C:\a", "\\?\UNC\server\share" of "\\?\UNC\server\share\a"
// ("\\.\" as "\\?\"); 0 for a relative path or one rooted at "\".
std::size_t PathRootLength(std::wstring_view path);

}  // namespace ripwarden::win32_platform
