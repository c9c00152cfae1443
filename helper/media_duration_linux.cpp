#include <dlfcn.h>

#include "helper/media_duration.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
}

namespace ripwarden::helper {

namespace {

// libavformat and the 130-odd libraries behind it cost every start of the
// helper tens of milliseconds, so only the length check loads them. The major
// versions are those of the headers: the structures read below are theirs.
struct MediaLibrary {
  decltype(&av_log_set_level) log_set_level = nullptr;
  decltype(&av_strerror) strerror = nullptr;
  decltype(&avformat_open_input) open_input = nullptr;
  decltype(&avformat_close_input) close_input = nullptr;
};

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& why) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  if (!function) why = "The media library could not be loaded: " + std::string(::dlerror());
  return function != nullptr;
}

std::optional<MediaLibrary> LoadMediaLibrary(std::string& why) {
  void* util = ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* format =
      util ? ::dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL)
           : nullptr;
  if (!format) {
    why = "The media library could not be loaded: " + std::string(::dlerror());
    return std::nullopt;
  }
  MediaLibrary media;
  if (!Find(util, "av_log_set_level", media.log_set_level, why) ||
      !Find(util, "av_strerror", media.strerror, why) ||
      !Find(format, "avformat_open_input", media.open_input, why) ||
      !Find(format, "avformat_close_input", media.close_input, why)) {
    return std::nullopt;
  }
  return media;
}

}  // namespace

bool MediaLibraryLoads(std::string& why) { return LoadMediaLibrary(why).has_value(); }

std::optional<double> MediaDuration(const std::string& path, std::string& why) {
  const auto media = LoadMediaLibrary(why);
  if (!media) return std::nullopt;
  // A broken file is an answer here, not something to print.
  media->log_set_level(AV_LOG_QUIET);
  AVFormatContext* context = nullptr;
  if (const int error = media->open_input(&context, path.c_str(), nullptr, nullptr); error != 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    media->strerror(error, reason, sizeof reason);
    why = "Cannot read " + path + ": " + reason;
    return std::nullopt;
  }
  std::optional<double> seconds;
  if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
    seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
  } else {
    why = path + " gives no duration.";
  }
  media->close_input(&context);
  return seconds;
}

}  // namespace ripwarden::helper
