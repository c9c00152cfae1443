#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace ripwarden::helper {

// A file of the copy, written in order and flushed to the disk before it is
// closed. One implementation per system; failures carry the system's words.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const unsigned char* data, std::size_t bytes, std::string& why) = 0;
  virtual bool SyncAndClose(std::string& why) = 0;
};

// Creates a new file (an existing one is an error); nothing, with why, on failure.
std::unique_ptr<OutputFile> CreateOutputFile(const std::filesystem::path& path, std::string& why);
// Makes a folder's new entries last as well as the files in it.
bool SyncFolder(const std::filesystem::path& folder, std::string& why);
// The stop signals end the program even when its parent ignored them.
void RestoreStopSignals();

}  // namespace ripwarden::helper
