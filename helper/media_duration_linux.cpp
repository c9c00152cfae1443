#include <dlfcn.h>

#include "helper/media_duration.h"

extern "C" {
#include <libavutil/macros.h>
}

namespace ripwarden::helper {

namespace {

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& why) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  if (!function) why = "The media library could not be loaded: " + std::string(::dlerror());
  return function != nullptr;
}

// libavformat and the 130-odd libraries behind it cost every start of the
// helper tens of milliseconds, so only the length check loads them. The major
// versions are those of the headers: the structures read are theirs.
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
  return ReadDuration(*media, path, why);
}

}  // namespace ripwarden::helper
