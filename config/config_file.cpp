#include "config/config_file.h"

#include <utility>

namespace ripwarden {

namespace {
constexpr std::size_t kNone = std::string::npos;
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

std::optional<ByteOrder> Utf16Mark(std::string_view content) {
  if (content.starts_with(kUtf16LeMark)) return ByteOrder::kLittleEndian;
  if (content.starts_with(kUtf16BeMark)) return ByteOrder::kBigEndian;
  return std::nullopt;
}
}  // namespace

bool IsConfigText(std::string_view content) { return content.find('\0') == std::string_view::npos; }

ConfigFile::ConfigFile(Files& files, Charset charset) : files_(files), charset_(charset) {}

ConfigFile::~ConfigFile() { CloseConfig(); }

bool ConfigFile::OpenConfig(const std::string& path) {
  CloseConfig();
  auto file = files_.Open(path);
  if (!file) return false;
  auto content = file->ReadAll();
  // A file that cannot be read must not be open: a later write-back would
  // replace its content with a partial list.
  if (!content) return false;
  // Windows editors save "Unicode" as UTF-16; it is read as the UTF-8 of a
  // marked file and written back as it came.
  const auto utf16 = Utf16Mark(*content);
  if (utf16) {
    auto decoded = Utf16ToUtf8(std::string_view(*content).substr(2), *utf16);
    if (!decoded) return false;
    content = std::move(decoded);
  }
  // Read as lines, noise would give keys of noise, and written back it would
  // stay noise with a few lines added.
  if (!IsConfigText(*content)) return false;
  config_ = ParseConfig(*content);
  if (utf16) config_.utf8_mode = true;
  utf16_ = utf16;
  file_ = std::move(file);
  return true;
}

bool ConfigFile::CloseConfig() {
  bool stored = true;
  if (file_ && modified_) {
    const auto content = FileContent();
    stored = content && file_->ReplaceContent(*content);
  }
  file_.reset();
  config_ = {};
  modified_ = false;
  current_group_ = kNone;
  pending_group_.clear();
  utf16_.reset();
  return stored;
}

std::optional<std::string> ConfigFile::FileContent() const {
  if (!utf16_) return SerializeConfig(config_);
  // The UTF-16 mark stands in for the UTF-8 one.
  ConfigText plain = config_;
  plain.utf8_mode = false;
  const auto text = Utf8ToUtf16(SerializeConfig(plain), *utf16_);
  if (!text) return std::nullopt;
  return std::string(*utf16_ == ByteOrder::kLittleEndian ? kUtf16LeMark : kUtf16BeMark) + *text;
}

std::string ConfigFile::ToFile(std::string_view text) const {
  return config_.utf8_mode ? ToFileUtf8(text, charset_) : std::string(text);
}

std::string ConfigFile::FromFile(std::string_view text) const {
  return config_.utf8_mode ? FromFileUtf8(text, charset_) : std::string(text);
}

bool ConfigFile::SelectGroup(std::string_view name) {
  pending_group_.clear();
  if (name.empty()) {
    current_group_ = kNone;
    return true;
  }
  const std::string wanted = ToFile(name);
  for (std::size_t i = 0; i < config_.lines.size(); ++i) {
    const ConfigLine& line = config_.lines[i];
    if (line.kind == ConfigLine::Kind::kGroup && EqualsIgnoringAsciiCase(line.text, wanted)) {
      current_group_ = i;
      return true;
    }
  }
  pending_group_ = name;
  return false;
}

std::size_t ConfigFile::BodyBegin() const { return current_group_ == kNone ? 0 : current_group_ + 1; }

std::size_t ConfigFile::BodyEnd() const {
  std::size_t i = BodyBegin();
  while (i < config_.lines.size() && config_.lines[i].kind != ConfigLine::Kind::kGroup) ++i;
  return i;
}

std::size_t ConfigFile::FindKey(std::string_view key) const {
  const std::string wanted = ToFile(key);
  const std::size_t end = BodyEnd();
  for (std::size_t i = BodyBegin(); i < end; ++i) {
    const ConfigLine& line = config_.lines[i];
    if (line.kind == ConfigLine::Kind::kKey && EqualsIgnoringAsciiCase(line.text, wanted)) return i;
  }
  return kNone;
}

std::string ConfigFile::ReadText(std::string_view key, std::string_view default_value) const {
  if (!file_ || !pending_group_.empty()) return std::string(default_value);
  const std::size_t found = FindKey(key);
  if (found == kNone) return std::string(default_value);
  const std::string value = FromFile(config_.lines[found].value);
  const auto first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = value.find_last_not_of(" \t");
  return value.substr(first, last - first + 1);
}

void ConfigFile::WriteText(std::string_view key, std::string_view value) {
  if (!file_) return;
  // A line end inside a key or value would split it into lines of another
  // meaning (a folder name may legally hold one); such a write is dropped.
  if (key.find_first_of("\r\n") != key.npos || value.find_first_of("\r\n") != value.npos) return;
  if (!pending_group_.empty()) {
    config_.lines.push_back({ConfigLine::Kind::kGroup, ToFile(pending_group_), {}});
    current_group_ = config_.lines.size() - 1;
    pending_group_.clear();
  }
  const std::size_t found = FindKey(key);
  if (found != kNone) {
    config_.lines[found].text = ToFile(key);
    config_.lines[found].value = ToFile(value);
  } else {
    const auto at = config_.lines.begin() + static_cast<std::ptrdiff_t>(BodyEnd());
    config_.lines.insert(at, {ConfigLine::Kind::kKey, ToFile(key), ToFile(value)});
  }
  modified_ = true;
}

}  // namespace ripwarden
