#include "platform/linux/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <initializer_list>

namespace ripwarden::linux_platform {

namespace {

int signal_pipe[2] = {-1, -1};

// Only a write is safe in a signal handler: the loop does the rest.
void OnStopSignal(int) {
  const char byte = 1;
  (void)!::write(signal_pipe[1], &byte, 1);
}

}  // namespace

void CatchStopSignals() {
  if (signal_pipe[0] >= 0 || ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int StopSignalDescriptor() { return signal_pipe[0]; }

bool DrainStopSignals() {
  if (signal_pipe[0] < 0) return false;
  bool came = false;
  char drained[16];
  while (::read(signal_pipe[0], drained, sizeof drained) > 0) came = true;
  return came;
}

}  // namespace ripwarden::linux_platform
