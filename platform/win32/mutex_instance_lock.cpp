#include "platform/win32/mutex_instance_lock.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

MutexInstanceLock::MutexInstanceLock(std::string name) : name_(std::move(name)) {}

MutexInstanceLock::~MutexInstanceLock() { Release(); }

bool MutexInstanceLock::Acquire() {
  if (mutex_ != nullptr) return true;
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, Wide(name_).c_str());
  if (mutex == nullptr) return false;
  if (::GetLastError() != ERROR_SUCCESS) {
    // It existed already: this handle does not own it.
    ::CloseHandle(mutex);
    return false;
  }
  mutex_ = mutex;
  return true;
}

void MutexInstanceLock::Release() {
  if (mutex_ == nullptr) return;
  ::ReleaseMutex(mutex_);
  ::CloseHandle(mutex_);
  mutex_ = nullptr;
}

}  // namespace ripwarden::win32_platform
