#pragma once
// Ctrl-C during a long command (a download, a scan): the first asks the
// command to end after the step in progress, a second ends the program at
// once (the handler goes back to the default).

namespace cli {

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // True once Ctrl-C has been pressed while the guard stands.
    static bool interrupted();

private:
    struct Saved;
    Saved* m_old;
};

} // namespace cli
