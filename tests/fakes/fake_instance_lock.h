#pragma once

#include "platform/instance_lock.h"

namespace ripwarden::testing {

class FakeInstanceLock final : public InstanceLock {
 public:
  bool Acquire() override {
    ++acquire_calls;
    if (another_copy_runs) return false;
    held = true;
    return true;
  }
  void Release() override {
    if (held) ++releases;
    held = false;
  }

  bool another_copy_runs = false;
  bool held = false;
  int acquire_calls = 0;
  int releases = 0;
};

}  // namespace ripwarden::testing
