#pragma once

#include <string>
#include <vector>

#include "platform/autostart.h"

namespace ripwarden::testing {

class FakeAutostart final : public Autostart {
 public:
  void Register() override { calls.push_back("register"); }
  void Unregister() override { calls.push_back("unregister"); }
  std::vector<std::string> calls;
};

}  // namespace ripwarden::testing
