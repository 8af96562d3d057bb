#include "interrupt.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

} // namespace

struct InterruptGuard::Saved {
    struct sigaction action = {};
};

InterruptGuard::InterruptGuard() : m_old(new Saved)
{
    g_interrupted = 0;
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &m_old->action);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &m_old->action, nullptr);
    delete m_old;
}

bool InterruptGuard::interrupted()
{
    return g_interrupted != 0;
}

} // namespace cli
