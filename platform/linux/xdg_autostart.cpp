#include "platform/linux/xdg_autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/linux/atomic_file.h"

namespace ripwarden::linux_platform {

namespace {

bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

std::string DefaultAutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // The desktop-entry rules ignore a relative XDG_CONFIG_HOME.
  if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/autostart";
}

std::string RunningProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string DesktopExecValue(const std::string& program) {
  // Inside the quotes ", `, $ and \ are escaped with a backslash; "%" starts a
  // field code and is doubled. The result is then a string value, in which a
  // backslash itself is written twice.
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (const char c : quoted) {
    if (c == '\\') value += '\\';
    if (c == '\n') {
      value += "\\n";
      continue;
    }
    value += c;
  }
  return value;
}

XdgAutostart::XdgAutostart(std::string autostart_folder, std::string program_path)
    : folder_(autostart_folder.empty() ? DefaultAutostartFolder() : std::move(autostart_folder)),
      entry_path_(folder_ + "/ripwarden.desktop"),
      program_path_(std::move(program_path)) {}

void XdgAutostart::Register() {
  const std::string program = program_path_.empty() ? RunningProgramPath() : program_path_;
  if (program.empty() || !MakeFolders(folder_)) return;
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Ripwarden\n"
      "Comment=Unattended DVD ripping station\n"
      "Exec=" +
      DesktopExecValue(program) +
      "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  ReplaceFileAtomically(entry_path_, entry, 0644);
}

void XdgAutostart::Unregister() { ::unlink(entry_path_.c_str()); }

}  // namespace ripwarden::linux_platform
