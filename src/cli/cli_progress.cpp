#include "cli/cli_progress.h"

#include <csignal>
#include <cstdio>
#include <ctime>

#include <unistd.h>

namespace zell::cli {
namespace {

volatile std::sig_atomic_t sigintSeen = 0;

void onSigint(int)
{
    sigintSeen = 1;
}

int64_t nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

class TerminalProgress final : public Progress {
public:
    void start(const std::string& command, bool show)
    {
        command_ = command;
        show_ = show;
    }
    void report(int64_t done, int64_t total) override
    {
        if (!show_)
            return;
        // A terminal redrawn for every frame of a long run costs more than
        // the frame; ten times a second is enough to see it move. A new
        // stage (a new total) shows at once.
        const int64_t now = nowMs();
        if (done < total && drawn_ && total == lastTotal_ && now - lastDraw_ < 100)
            return;
        lastDraw_ = now;
        lastTotal_ = total;
        drawn_ = true;
        std::fprintf(stderr, "\rzell-cli: %s: %lld / %lld\033[K", command_.c_str(), static_cast<long long>(done),
                     static_cast<long long>(total));
        std::fflush(stderr);
    }
    void silence()
    {
        end();
        show_ = false;
    }
    bool cancelled() override { return sigintSeen != 0; }
    void end()
    {
        if (drawn_)
            std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

private:
    std::string command_;
    bool show_ = false;
    bool drawn_ = false;
    int64_t lastDraw_ = 0;
    int64_t lastTotal_ = -1;
};

TerminalProgress terminal;
bool quietAsked = false;

} // namespace

void startProgress(const std::string& command, bool quiet)
{
    struct sigaction action{};
    action.sa_handler = onSigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second Ctrl+C is not caught
    ::sigaction(SIGINT, &action, nullptr);
    terminal.start(command, !quiet && !quietAsked && ::isatty(STDERR_FILENO));
}

void quietProgress()
{
    quietAsked = true;
    terminal.silence();
}

void endProgress()
{
    terminal.end();
}

Progress* progress()
{
    return &terminal;
}

bool interrupted()
{
    return sigintSeen != 0;
}

} // namespace zell::cli
