#include "tools/host/interrupt.h"

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace zask {

namespace {

volatile std::sig_atomic_t caught = 0;

void onSignal(int signal)
{
    if (caught != 0) {
        // Asked twice: stop now, the default way.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    caught = signal;
}

}  // namespace

void watchForInterrupts()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for child processes returns so it can stop them.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool interrupted() { return caught != 0; }

const char* interruptDescription()
{
    switch (caught) {
    case SIGINT: return "interrupted (SIGINT)";
    case SIGTERM: return "interrupted (SIGTERM)";
    case SIGHUP: return "interrupted (SIGHUP)";
    default: return "interrupted";
    }
}

}  // namespace zask
