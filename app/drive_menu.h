#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/tray.h"
#include "rip/rip_view.h"

namespace ripwarden {

// The tray's "Force Drive To" entries: Load Media and Eject Media for the
// one watched drive, or a submenu of both for each drive when there are
// several.
class DriveMenu {
 public:
  // Load Media of the first of several drives; Eject Media follows it, and
  // each further drive takes the next two ids.
  static constexpr int kFirstDriveItem = 100;
  static constexpr std::size_t kMostDrives = 50;

  explicit DriveMenu(Tray& tray) : tray_(tray) {}

  // Adds the entries to the menu being built, for these watched sources.
  void Add(const std::vector<std::string>& sources);
  // True when the entries added were laid out for other sources.
  bool IsLaidOutFor(const std::vector<std::string>& sources) const;

  // What a menu entry asks for. The source is empty for the one watched
  // drive's entries: whichever drive the settings name when it is chosen.
  struct Command {
    std::string source;
    bool load = false;
  };
  std::optional<Command> CommandOf(int item_id) const;

  // A drive that holds a disc has nothing to load: its Load Media is greyed.
  void ShowDrives(const std::vector<DriveShown>& drives);

 private:
  static std::vector<std::string> OwnSubmenus(const std::vector<std::string>& sources);
  void GreyLoadEntries();

  Tray& tray_;
  // The drives with a submenu of their own; none when one drive is watched.
  std::vector<std::string> submenus_;
  std::vector<DriveShown> shown_;
};

}  // namespace ripwarden
