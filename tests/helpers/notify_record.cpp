#include "helpers/notify_record.h"

#include <fstream>
#include <sstream>

namespace ripwarden::testing {

namespace {

constexpr char kField = '\t';
constexpr char kAction = '|';

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

}  // namespace

std::string FormatNotifyCall(const NotifyCall& call) {
  std::string actions;
  for (const std::string& action : call.actions)
    actions += (actions.empty() ? "" : std::string(1, kAction)) + action;
  std::ostringstream line;
  line << "Notify" << kField << call.app_name << kField << call.replaces_id << kField << call.app_icon
       << kField << call.summary << kField << call.body << kField << actions << kField << call.urgency
       << kField << call.desktop_entry << kField << call.expire_timeout << kField << call.id;
  return line.str();
}

std::optional<NotifyCall> ParseNotifyCall(const std::string& line) {
  const auto fields = Split(line, kField);
  if (fields.size() != 11 || fields[0] != "Notify") return std::nullopt;
  NotifyCall call;
  call.app_name = fields[1];
  call.replaces_id = static_cast<unsigned>(std::stoul(fields[2]));
  call.app_icon = fields[3];
  call.summary = fields[4];
  call.body = fields[5];
  if (!fields[6].empty()) call.actions = Split(fields[6], kAction);
  call.urgency = std::stoi(fields[7]);
  call.desktop_entry = fields[8];
  call.expire_timeout = std::stoi(fields[9]);
  call.id = static_cast<unsigned>(std::stoul(fields[10]));
  return call;
}

std::vector<NotifyCall> ReadNotifyLog(const std::string& path) {
  std::vector<NotifyCall> calls;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (auto call = ParseNotifyCall(line)) calls.push_back(*call);
  }
  return calls;
}

}  // namespace ripwarden::testing
