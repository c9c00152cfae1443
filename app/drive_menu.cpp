#include "app/drive_menu.h"

#include <algorithm>

#include "app/tray_menu.h"

namespace ripwarden {

std::vector<std::string> DriveMenu::OwnSubmenus(const std::vector<std::string>& sources) {
  if (sources.size() < 2) return {};
  return {sources.begin(),
          sources.begin() + static_cast<std::ptrdiff_t>(std::min(sources.size(), kMostDrives))};
}

void DriveMenu::Add(const std::vector<std::string>& sources) {
  submenus_ = OwnSubmenus(sources);
  tray_.BeginSubmenu("Force Drive To");
  if (submenus_.empty()) {
    tray_.AddMenuItem(menu::kLoadMedia, "Load Media");
    tray_.AddMenuItem(menu::kEjectMedia, "Eject Media");
  }
  int item = kFirstDriveItem;
  for (const std::string& source : submenus_) {
    tray_.BeginSubmenu(source);
    tray_.AddMenuItem(item++, "Load Media");
    tray_.AddMenuItem(item++, "Eject Media");
    tray_.EndSubmenu();
  }
  tray_.EndSubmenu();
  // A new menu's entries start enabled; the last poll said which drives hold a disc.
  GreyLoadEntries();
}

// Asked at every turn of the loop, so nothing is built to answer it.
bool DriveMenu::IsLaidOutFor(const std::vector<std::string>& sources) const {
  if (sources.size() < 2) return submenus_.empty();
  return submenus_.size() == std::min(sources.size(), kMostDrives) &&
         std::equal(submenus_.begin(), submenus_.end(), sources.begin());
}

std::optional<DriveMenu::Command> DriveMenu::CommandOf(int item_id) const {
  if (submenus_.empty()) {
    if (item_id == menu::kLoadMedia || item_id == menu::kEjectMedia)
      return Command{{}, item_id == menu::kLoadMedia};
    return std::nullopt;
  }
  const int offset = item_id - kFirstDriveItem;
  if (offset < 0 || offset >= static_cast<int>(2 * submenus_.size())) return std::nullopt;
  return Command{submenus_[static_cast<std::size_t>(offset / 2)], offset % 2 == 0};
}

void DriveMenu::ShowDrives(const std::vector<DriveShown>& drives) {
  shown_ = drives;
  GreyLoadEntries();
}

void DriveMenu::GreyLoadEntries() {
  if (submenus_.empty()) {
    tray_.SetItemGreyed(menu::kLoadMedia,
                        std::any_of(shown_.begin(), shown_.end(),
                                    [](const DriveShown& drive) { return drive.disc_present; }));
    return;
  }
  for (std::size_t at = 0; at < submenus_.size(); ++at) {
    const auto drive = std::find_if(shown_.begin(), shown_.end(),
                                    [&](const DriveShown& shown) { return shown.source == submenus_[at]; });
    tray_.SetItemGreyed(kFirstDriveItem + 2 * static_cast<int>(at),
                        drive != shown_.end() && drive->disc_present);
  }
}

}  // namespace ripwarden
