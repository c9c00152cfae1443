#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "config/config_format.h"
#include "config/text_encoding.h"
#include "platform/files.h"

namespace ripwarden {

// False for content that holds a NUL byte: binary data, or a file that a
// crash left filled with zeros, and no group/key text.
bool IsConfigText(std::string_view content);

// A group/key file held open between OpenConfig and CloseConfig. At most one
// file is open per object; opening another closes (and writes back) the first.
class ConfigFile {
 public:
  ConfigFile(Files& files, Charset charset);
  ~ConfigFile();
  ConfigFile(const ConfigFile&) = delete;
  ConfigFile& operator=(const ConfigFile&) = delete;

  // False when the file is missing, unreadable or holds no text (a NUL byte,
  // or UTF-16 that is ill-formed or has no byte-order mark).
  bool OpenConfig(const std::string& path);
  // Makes the group current (the empty name: the lines before the first
  // header). An unknown name becomes the pending group, created by the next
  // WriteText, and the result is false.
  bool SelectGroup(std::string_view name);
  std::string ReadText(std::string_view key, std::string_view default_value) const;
  void WriteText(std::string_view key, std::string_view value);
  // Writes the file back when something changed, in the encoding it had, then
  // closes it. A file that was only read is never touched. False when a change
  // could not be stored.
  bool CloseConfig();

  bool IsOpen() const { return file_ != nullptr; }

 private:
  // Index of the first line of the current group's body, and one past its last.
  std::size_t BodyBegin() const;
  std::size_t BodyEnd() const;
  // The key line of the current group matching key, or npos.
  std::size_t FindKey(std::string_view key) const;
  std::string ToFile(std::string_view text) const;
  std::string FromFile(std::string_view text) const;
  // The content to write back; nothing when it cannot be put in the file's encoding.
  std::optional<std::string> FileContent() const;

  Files& files_;
  Charset charset_;
  std::unique_ptr<OpenFile> file_;
  ConfigText config_;
  // Set for a file in UTF-16, whose lines are held as UTF-8 in between.
  std::optional<ByteOrder> utf16_;
  bool modified_ = false;
  // Index of the current group header; npos for the top section.
  std::size_t current_group_ = std::string::npos;
  std::string pending_group_;
};

}  // namespace ripwarden
