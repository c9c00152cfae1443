#pragma once

#include <windows.h>

#include <string>

namespace ripwarden::testing {

// Saves what the window's client area shows now as a PNG file.
bool SaveWindowPicture(HWND window, const std::string& png_path);

}  // namespace ripwarden::testing
