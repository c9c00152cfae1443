#include "helper/media_duration.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace ripwarden::helper {

std::optional<double> MediaDuration(const std::string& path, std::string& why) {
  // A broken file is an answer here, not something to print.
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* context = nullptr;
  if (const int error = avformat_open_input(&context, path.c_str(), nullptr, nullptr); error != 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, reason, sizeof reason);
    why = "Cannot read " + path + ": " + reason;
    return std::nullopt;
  }
  std::optional<double> seconds;
  if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
    seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
  } else {
    why = path + " gives no duration.";
  }
  avformat_close_input(&context);
  return seconds;
}

}  // namespace ripwarden::helper
