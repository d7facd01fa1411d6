// The signals that stop velkor-sim early: Ctrl-C (SIGINT), SIGTERM, a closed
// terminal (SIGHUP) and a closed output pipe (SIGPIPE). The first one is noted
// and the work stops at its next check, so that the report of what was done is
// still written and scratch folders are removed; a second SIGINT, SIGTERM or
// SIGHUP ends the process at once. SIGPIPE stays ignored once noted: writes to
// the closed pipe fail instead, and the files are still written.
#pragma once

namespace sim {

void CatchStopSignals();
// The first stop signal that came, 0 while none did.
int StopSignal();
// "SIGINT", "SIGTERM", "SIGHUP", "SIGPIPE" or "signal N".
const char* StopSignalName(int signal);

}  // namespace sim
