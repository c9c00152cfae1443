#pragma once

#include <optional>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace ripwarden::helper {

// The few libavformat calls the length check makes: linked in where the
// library is static, looked up when it is loaded on demand.
struct MediaLibrary {
  decltype(&av_log_set_level) log_set_level = nullptr;
  decltype(&av_strerror) strerror = nullptr;
  decltype(&avformat_open_input) open_input = nullptr;
  decltype(&avformat_close_input) close_input = nullptr;
};

// The length a finished file's container gives, read without decoding;
// nothing, with why, when it cannot be opened or gives none.
std::optional<double> ReadDuration(const MediaLibrary& media, const std::string& path, std::string& why);
std::optional<double> MediaDuration(const std::string& path, std::string& why);

#ifndef _WIN32
// Whether libavformat, loaded only when a length is asked for, is there; why not.
bool MediaLibraryLoads(std::string& why);
#endif

}  // namespace ripwarden::helper
