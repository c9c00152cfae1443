#pragma once

namespace ripwarden {

// Tray menu entries, by id.
namespace menu {
inline constexpr int kRipProgress = 40;
inline constexpr int kSettings = 41;
inline constexpr int kAbout = 42;
inline constexpr int kHandBrakeOutput = 43;
inline constexpr int kLoadMedia = 44;  // greyed while the drive holds a disc
inline constexpr int kEjectMedia = 45;
inline constexpr int kExit = 46;
inline constexpr int kRipQueue = 47;
}  // namespace menu

}  // namespace ripwarden
