#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ripwarden::testing {

// One Notify call as the stand-in notification server received it.
struct NotifyCall {
  std::string app_name;
  unsigned replaces_id = 0;
  std::string app_icon;
  std::string summary;
  std::string body;
  std::vector<std::string> actions;  // key, label, key, label...
  int urgency = -1;                  // -1: no urgency hint
  std::string desktop_entry;
  int expire_timeout = 0;
  unsigned id = 0;  // what the server answered
};

// One line of the stand-in's log (tab-separated), and back.
std::string FormatNotifyCall(const NotifyCall& call);
std::optional<NotifyCall> ParseNotifyCall(const std::string& line);
// Every call in a log, in order.
std::vector<NotifyCall> ReadNotifyLog(const std::string& path);

}  // namespace ripwarden::testing
