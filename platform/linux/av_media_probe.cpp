#include "platform/linux/av_media_probe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace ripwarden::linux_platform {

AvMediaProbe::AvMediaProbe() {
  // A broken file is an answer here, not something to print.
  av_log_set_level(AV_LOG_QUIET);
}

std::optional<double> AvMediaProbe::MediaDuration(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) != 0) return std::nullopt;
  std::optional<double> seconds;
  if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
    seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
  }
  avformat_close_input(&context);
  return seconds;
}

}  // namespace ripwarden::linux_platform
