// The termination signals on POSIX systems: SIGTERM, SIGINT and SIGHUP. The
// handler only records the signal; SA_RESTART lets a read or write under way
// go on rather than fail with EINTR.
#include <signal.h>

#include "engine/platform/platform.h"

namespace engine::os {

namespace {

volatile sig_atomic_t termination_seen = 0;

extern "C" void OnTerminationSignal(int) {
    termination_seen = 1;
}

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Sets the signal's action unless the parent set it to be ignored.
void SetUnlessIgnored(int signal, void (*action)(int)) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
    struct sigaction wanted {};
    wanted.sa_handler = action;
    sigemptyset(&wanted.sa_mask);
    wanted.sa_flags = SA_RESTART;
    sigaction(signal, &wanted, nullptr);
}

}  // namespace

void CatchTerminationSignals() {
    termination_seen = 0;
    for (int signal : kTerminationSignals)
        SetUnlessIgnored(signal, OnTerminationSignal);
}

void RestoreTerminationSignals() {
    for (int signal : kTerminationSignals)
        SetUnlessIgnored(signal, SIG_DFL);
}

bool TakeTerminationSignal() {
    const bool seen = termination_seen != 0;
    termination_seen = 0;
    return seen;
}

}  // namespace engine::os
