#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_result.h"

namespace ripwarden {

// A file held open by the program. The handle stays open until destroyed.
class OpenFile {
 public:
  virtual ~OpenFile() = default;

  // False when the file could only be opened for reading (it is marked
  // read-only, or access to write is refused).
  virtual bool Writable() const = 0;

  // The whole content from the first byte; nothing when it cannot be read.
  virtual std::optional<std::string> ReadAll() = 0;

  // Replaces the whole content in one step: whoever reads the path afterwards,
  // even after a crash or power loss in the middle, finds either the old
  // content or the new one. The file keeps its permissions. False, with the
  // file unchanged, when it is not writable or the new content cannot be
  // stored completely.
  virtual bool ReplaceContent(std::string_view content) = 0;
};

// What a file's entry says about it, to tell whether it changed.
struct FileStamp {
  bool is_folder = false;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // modification time, nanoseconds since 1970
  bool operator==(const FileStamp&) const = default;
};

class Files {
 public:
  virtual ~Files() = default;

  // Opens for reading and writing, or for reading only when writing is not
  // allowed. Nothing when the file is missing or refused; never creates one.
  virtual std::unique_ptr<OpenFile> Open(const std::string& path) = 0;

  // Opens for reading only; nothing when missing or refused.
  virtual std::unique_ptr<OpenFile> OpenForReading(const std::string& path) = 0;

  // The entry of a file or folder, following links; nothing when it does not
  // exist. A name without a folder is one in the working folder.
  virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;

  // The entry of the program that starting `program` would run: a bare name
  // is looked up in the program search path, as the system would.
  virtual std::optional<FileStamp> ProgramStamp(const std::string& program) { return Stamp(program); }

  // Creates an empty file unless one exists; false when there is none afterwards.
  virtual bool CreateEmptyFile(const std::string& path) = 0;

  // Makes a new file holding content, and the folders above it that are
  // missing; the file appears whole or not at all. False when something is
  // already there (it is left as it is) or the file cannot be made.
  virtual bool CreateFile(const std::string& path, std::string_view content) = 0;

  // Deletes a file. A failure of this call and the three below carries the
  // system's reason.
  virtual SystemResult RemoveFile(const std::string& path) = 0;

  // Gives a file or folder a new path in the same file system. Never replaces
  // what is already at `to`: a failure then, and when the rename fails. The new
  // name is on the disk when this returns (the folder's entry is flushed).
  virtual SystemResult RenameFile(const std::string& from, const std::string& to) = 0;

  // Writes what the system still holds of a file's data through to the disk,
  // so that a power cut afterwards cannot leave it shorter than it is now.
  // Fails when the file cannot be opened or the disk refused the data.
  virtual SystemResult FlushFile(const std::string& path) = 0;

  // Makes a folder and the folders above it that are missing; succeeds when
  // the folder exists afterwards.
  virtual SystemResult MakeFolders(const std::string& path) = 0;

  // Deletes a folder with everything in it, never following a link out of
  // it; true when nothing is left at the path (also when nothing was there).
  virtual bool RemoveTree(const std::string& path) = 0;

  // The names of the entries in a folder (not "." and ".."), in no particular
  // order; empty when the folder is missing or cannot be read.
  virtual std::vector<std::string> ListFolder(const std::string& path) = 0;
};

}  // namespace ripwarden
