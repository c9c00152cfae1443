#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ripwarden::helper {

// A file of the copy, written in order. One implementation per system;
// failures carry the system's words.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const unsigned char* data, std::size_t bytes, std::string& why) = 0;
  virtual bool Close(std::string& why) = 0;
};

// Creates a new file (an existing one is an error); nothing, with why, on failure.
std::unique_ptr<OutputFile> CreateOutputFile(const std::filesystem::path& path, std::string& why);
// Flushes the copy's files and folders to the disk, in one go where the
// system can: a flush per file costs a journal commit each.
bool SyncCopy(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& files,
              std::string& why);
// The stop signals end the program even when its parent ignored them.
void RestoreStopSignals();

}  // namespace ripwarden::helper
