#pragma once

namespace ripwarden::linux_platform {

// SIGTERM, SIGINT and SIGHUP, caught into a pipe from the first call on: the
// program then cancels a rip and stops its encoder, so that no orphan goes on
// writing.
void CatchStopSignals();
// The pipe's reading end, readable once a signal came; -1 when not caught.
int StopSignalDescriptor();
// Empties the pipe; true when a signal had come.
bool DrainStopSignals();

}  // namespace ripwarden::linux_platform
