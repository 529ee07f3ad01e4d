// zell-cli's progress line on a terminal, and Ctrl+C in the middle of a run.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "document/gif_export.h"
#include "support/run_cli.h"
#include "support/test_document.h"

namespace zell {
namespace {

struct PtyRun {
    int status = -1; // exit status; -1 when killed by a signal
    std::string terminal;
};

// Runs zell-cli with its stdout and stderr on a pseudo-terminal; `interrupt`
// sees what the terminal showed so far and answers whether to send SIGINT.
PtyRun runOnPty(const std::vector<std::string>& args, const std::string& tmpdir,
                const std::function<bool(const std::string&)>& interrupt = {})
{
    PtyRun run;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0)
        return run;
    if (pid == 0) {
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(ZELL_CLI_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(ZELL_CLI_PATH, argv.data());
        ::_exit(127);
    }
    bool sent = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break; // EIO once the child closed the terminal
            run.terminal.append(buffer, size_t(n));
        }
        if (!sent && interrupt && interrupt(run.terminal)) {
            ::kill(pid, SIGINT);
            sent = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ProgressLine : public ::testing::Test, public test::DocumentBuilder {
protected:
    // `frames` frames of w x h, a block moving across a two-colour field.
    void write(int frames, uint32_t w, uint32_t h)
    {
        screen(uint16_t(w), uint16_t(h));
        for (int i = 0; i < frames; ++i) {
            std::vector<uint8_t> picture(size_t(w) * h, 0);
            for (uint32_t y = h / 4; y < h / 2; ++y)
                for (uint32_t x = 0; x < w / 8; ++x)
                    picture[y * w + (x + uint32_t(i) * 3) % w] = 1;
            add(w, h, {makeColor(10, 20, 30), makeColor(200, uint8_t(i), 90)}, picture).delay = 4;
        }
        ASSERT_TRUE(writeAnimatedGif(in_, document.frames, GifOutput::fromSettings(document.settings, 0)));
        std::filesystem::create_directories(tmp_);
    }

    test::ScratchDir folder_;
    const std::string in_ = folder_.str() + "in.gif";
    const std::string out_ = folder_.str() + "out.gif";
    const std::string tmp_ = folder_.str() + "tmp";
};

TEST_F(ProgressLine, ShownOnATerminalOnlyAndNotWhenQuiet)
{
    write(12, 40, 30);
    const auto plain = test::runCli({"build", "-o", out_, in_}, tmp_);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "") << "no line when stderr is a file";

    const PtyRun shown = runOnPty({"build", "-o", out_, in_}, tmp_);
    EXPECT_EQ(shown.status, 0) << shown.terminal;
    EXPECT_NE(shown.terminal.find("zell-cli: build: 12 / 12"), std::string::npos) << shown.terminal;
    EXPECT_NE(shown.terminal.find("\r\033[K"), std::string::npos) << "the line is cleared at the end";

    const PtyRun quiet = runOnPty({"--quiet", "build", "-o", out_, in_}, tmp_);
    EXPECT_EQ(quiet.status, 0) << quiet.terminal;
    EXPECT_EQ(quiet.terminal, "");

    // A terminal never gets the data.
    const PtyRun refused = runOnPty({"build", "-o", "-", in_}, tmp_);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.terminal.find("standard output is a terminal"), std::string::npos) << refused.terminal;
}

TEST_F(ProgressLine, CtrlCDuringOptimizeLeavesNoOutputAndNoWorkFiles)
{
    constexpr int kFrames = 300;
    write(kFrames, 320, 240);
    // The optimiser counts the frames; SIGINT goes once it has started.
    const std::string started = "/ " + std::to_string(kFrames);
    const PtyRun run = runOnPty({"optimize", in_, "-o", out_, "--transparency"}, tmp_,
                                [&](const std::string& shown) { return shown.find(started) != std::string::npos; });
    EXPECT_EQ(run.status, 130) << run.terminal;
    EXPECT_NE(run.terminal.find("interrupted"), std::string::npos) << run.terminal;
    EXPECT_EQ(test::namesIn(folder_.path()), (std::vector<std::string>{"in.gif", "tmp"})) << "no output, no temporary";
    EXPECT_TRUE(test::namesIn(tmp_).empty()) << "no work directory";
}

} // namespace
} // namespace zell
