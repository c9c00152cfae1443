#include "helper/media_duration.h"

namespace ripwarden::helper {

std::optional<double> ReadDuration(const MediaLibrary& media, const std::string& path, std::string& why) {
  // A broken file is an answer here, not something to print.
  media.log_set_level(AV_LOG_QUIET);
  AVFormatContext* context = nullptr;
  if (const int error = media.open_input(&context, path.c_str(), nullptr, nullptr); error != 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    media.strerror(error, reason, sizeof reason);
    why = "Cannot read " + path + ": " + reason;
    return std::nullopt;
  }
  std::optional<double> seconds;
  if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
    seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
  } else {
    why = path + " gives no duration.";
  }
  media.close_input(&context);
  return seconds;
}

#ifdef _WIN32
std::optional<double> MediaDuration(const std::string& path, std::string& why) {
  return ReadDuration({&av_log_set_level, &av_strerror, &avformat_open_input, &avformat_close_input}, path,
                      why);
}
#endif

}  // namespace ripwarden::helper
