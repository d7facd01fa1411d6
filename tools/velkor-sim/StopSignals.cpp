#include "tools/velkor-sim/StopSignals.h"

#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace sim {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    if (stopSignal == 0) stopSignal = signal;
    std::signal(signal, signal == SIGPIPE ? SIG_IGN : SIG_DFL);
}

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
}

int StopSignal() { return stopSignal; }

const char* StopSignalName(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
        default: {
            static char text[32];
            std::snprintf(text, sizeof text, "signal %d", signal);
            return text;
        }
    }
}

}  // namespace sim
