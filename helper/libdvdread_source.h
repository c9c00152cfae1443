#pragma once

#include <memory>
#include <string>

#include "helper/dvd_source.h"

namespace ripwarden::helper {

// A drive, image or VIDEO_TS folder read through libdvdread, which decrypts
// when the system has the means. Nothing, with why, when it holds no DVD video.
std::unique_ptr<DvdSource> OpenDvdSource(const std::string& path, std::string& why);

}  // namespace ripwarden::helper
