// The termination signals on Windows: the C runtime's SIGTERM and SIGINT (a
// console's Ctrl+C); the handler only records the signal.
#include <csignal>

#include "engine/platform/platform.h"

namespace engine::os {

namespace {

volatile std::sig_atomic_t termination_seen = 0;

extern "C" void OnTerminationSignal(int) {
    termination_seen = 1;
}

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT};

}  // namespace

void CatchTerminationSignals() {
    termination_seen = 0;
    for (int signal : kTerminationSignals) {
        if (std::signal(signal, OnTerminationSignal) == SIG_IGN) std::signal(signal, SIG_IGN);
    }
}

void RestoreTerminationSignals() {
    for (int signal : kTerminationSignals) {
        if (std::signal(signal, SIG_DFL) == SIG_IGN) std::signal(signal, SIG_IGN);
    }
}

bool TakeTerminationSignal() {
    const bool seen = termination_seen != 0;
    termination_seen = 0;
    return seen;
}

}  // namespace engine::os
