// The option grammar every zell-cli command shares, and standard input and
// output as files, run as a user would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "operations/recipes.h"
#include "support/run_cli.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

class CommandLine : public ::testing::Test, public test::DocumentBuilder {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::recipe("sprites on a global table").make(*this));
        test::writeFile(in_, test::exportedGif(document));
        pixels_ = uint64_t(document.settings.screenWidth) * document.settings.screenHeight;
        ASSERT_EQ(test::runCli({"build", "-o", project_, in_}).status, 0);
    }
    std::string path(const std::string& name) const { return dir_.str() + name; }

    // Runs in the scratch folder, so that a file named "-" would land there.
    test::CliResult run(const std::vector<std::string>& args, const std::string& input = {}) const
    {
        test::CliSetting setting;
        setting.tmpdir = dir_.str();
        setting.workingDirectory = dir_.str();
        setting.standardInput = input;
        return run(args, setting);
    }
    static test::CliResult run(const std::vector<std::string>& args, const test::CliSetting& setting)
    {
        return test::runCli(args, setting);
    }
    // The bytes a successful run wrote to `out`.
    std::vector<uint8_t> written(std::vector<std::string> args, const std::string& out) const
    {
        std::filesystem::remove(out);
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << ::testing::PrintToString(args) << r.err;
        return std::filesystem::exists(out) ? test::readFile(out) : std::vector<uint8_t>{};
    }

    test::ScratchDir dir_;
    const std::string in_ = dir_.str() + "in.gif";
    const std::string project_ = dir_.str() + "in.zpj";
    uint64_t pixels_ = 0; // of the input's screen
};

// Options that take a value, one or more of each command (the others' effects
// are checked with their commands), as "--name value" and "--name=value":
// both write the same file, and another value writes another one, so the
// value reached the option rather than the list of inputs.
TEST_F(CommandLine, EveryValueTakesBothSpellings)
{
    const std::string out = path("out.gif");
    const struct {
        std::vector<std::string> command; // before the option
        std::string option, value, other;
    } cases[] = {
        {{"build", in_}, "--delay", "7", "9"},
        {{"build", in_}, "--screen", "40x30", "50x30"},
        {{"build", in_}, "--format", "zpj", "gif"},
        {{"unify", in_}, "--colors", "4", "8"},
        {{"unify", in_, "--colors", "2"}, "--only-colors", "16", "2"},
        {{"transition", in_, "--after", "1"}, "--steps", "2", "3"},
        {{"transition", in_, "--after", "1"}, "--to-color", "FF0000", "00FF00"},
        {{"edit", in_}, "--crop", "8x8", "9x8"},
        {{"edit", in_}, "--resize", "50%", "150%"},
        {{"edit", in_, "--resize", "150%"}, "--filter", "nearest", "smooth"},
        {{"edit", in_}, "--flip", "horizontal", "vertical"},
        {{"optimize", in_}, "--max-pixels", "100000", "1"},
    };
    for (const auto& c : cases) {
        const auto with = [&](std::vector<std::string> option) {
            std::vector<std::string> args = c.command;
            args.insert(args.end(), option.begin(), option.end());
            args.insert(args.end(), {"-o", out});
            return args;
        };
        const std::string what = c.command[0] + " " + c.option;
        const auto spaced = written(with({c.option, c.value}), out);
        EXPECT_FALSE(spaced.empty()) << what;
        EXPECT_EQ(written(with({c.option + "=" + c.value}), out), spaced) << what;
        std::filesystem::remove(out);
        const auto other = run(with({c.option, c.other}));
        EXPECT_NE(other.status == 0 ? test::readFile(out) : std::vector<uint8_t>{}, spaced) << what;
    }
}

// -o in all four spellings names the same output; an option whose value may
// be left out takes one only after '='.
TEST_F(CommandLine, OutputSpellingsAndOptionalValues)
{
    const std::string out = path("out.gif");
    const auto plain = written({"optimize", in_, "-o", out}, out);
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(written({"optimize", in_, "-o" + out}, out), plain);
    EXPECT_EQ(written({"optimize", in_, "--output", out}, out), plain);
    EXPECT_EQ(written({"optimize", in_, "--output=" + out}, out), plain);

    const auto existing = written({"optimize", in_, "-o", out, "--transparency=existing"}, out);
    EXPECT_EQ(written({"optimize", "--transparency", in_, "-o", out}, out), existing)
        << "without '=' the next argument is the input";
    EXPECT_NE(existing, plain);
    EXPECT_EQ(written({"build", "--optimize", in_, "-o", out}, out),
              written({"build", in_, "-o", out, "--optimize=lossless"}, out));
    const auto r = run({"build", "-o", out, "--optimize", "transparency", in_});
    EXPECT_EQ(r.status, 1);
    test::expectContains(r.err, {"transparency: cannot be read"});
}

// --lossy takes its level only after '=', defaults to 80, is exact at 0 and
// implies the lossless optimisation.
TEST_F(CommandLine, LossyLevels)
{
    const std::string out = path("out.gif");
    const auto exact = written({"optimize", in_, "-o", out}, out);
    ASSERT_FALSE(exact.empty());
    EXPECT_EQ(written({"optimize", in_, "-o", out, "--lossy=0"}, out), exact);
    const auto lossy = written({"optimize", in_, "-o", out, "--lossy"}, out);
    EXPECT_EQ(written({"optimize", "--lossy=80", in_, "-o", out}, out), lossy);
    EXPECT_LE(lossy.size(), exact.size());
    EXPECT_EQ(written({"build", in_, "-o", out, "--lossy"}, out),
              written({"build", in_, "-o", out, "--optimize=lossless", "--lossy=80"}, out));
}

// --max-size takes the lowest level that fits, then fewer colours, and says
// which; when nothing fits, nothing is written.
TEST_F(CommandLine, MaxSizeFindsALevelThatFits)
{
    test::DocumentBuilder noisy;
    test::addNoisyRamp(noisy);
    const std::string in = path("noisy.gif"), out = path("out.gif");
    test::writeFile(in, test::exportedGif(noisy.document));
    const size_t exact = written({"optimize", in, "-o", out}, out).size();
    const size_t most = written({"optimize", in, "-o", out, "--lossy=200"}, out).size();
    ASSERT_LT(most, exact);
    const size_t limit = (exact + most) / 2;
    const auto r = run({"optimize", in, "-o", out, "--max-size", std::to_string(limit)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LE(test::readFile(out).size(), limit);
    test::expectContains(r.err, {"lossy level", std::to_string(test::readFile(out).size()) + " bytes"});
    // Below the highest level's size, fewer colours take over.
    const auto fewer = run({"optimize", in, "-o", out, "--max-size=" + std::to_string(most - 1)});
    ASSERT_EQ(fewer.status, 0) << fewer.err;
    EXPECT_LE(test::readFile(out).size(), most - 1);
    test::expectContains(fewer.err, {"colours and lossy level"});
    std::filesystem::remove(out);
    const auto none = run({"optimize", in, "-o", out, "--max-size=100"});
    EXPECT_EQ(none.status, 1);
    test::expectContains(none.err, {"nor fewer colours", "nothing was written"});
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(run({"build", in, "-o", path("x.zpj"), "--max-size=100"}).status, 1) << "a project has no size to fit";
}

// Help and version go to standard output with status 0; a command line that
// cannot be run is status 2, says why, and makes no output file. Global
// options work before or after the command.
TEST_F(CommandLine, StatusAndMessageOfEachCommandLine)
{
    const std::string out = path("out.gif"), below = std::to_string(pixels_ - 1);
    const std::string limited = "larger than the limit of " + below + " pixels";
    const std::string see = " (see zell-cli build --help)\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string text; // at the start of standard output, or anywhere in the error
    } cases[] = {
        {{"--help"}, 0, "Usage: zell-cli"},
        {{"--version"}, 0, "zell-cli "},
        {{"optimize", "--help"}, 0, "Usage: zell-cli optimize"},
        // These write their output (no text expected).
        {{"optimize", in_, "--quiet", "-o", out}, 0, ""},
        {{"--max-pixels", std::to_string(pixels_), "optimize", in_, "-o", out}, 0, ""},
        {{"--max-pixels", below, "optimize", in_, "-o", out}, 1, limited},
        {{"optimize", "--max-pixels=" + below, in_, "-o", out}, 1, limited},
        {{"--max-pixels=0", "info", in_}, 2, "zell-cli: --max-pixels takes a number of pixels from 1 to 268435456\n"},
        {{}, 2, ""},
        {{"no-such-command"}, 2, "no-such-command"},
        {{"help", "nothing"}, 2, ""},
        {{"patterns", "fade"}, 2, "patterns: takes no arguments"},
        {{"build", "-o", out}, 2, "no input files given"},
        {{"build", in_}, 2, "no output file given"},
        {{"build", "--disposal", "4", "-o", out, in_}, 2, "--disposal takes 0-3"},
        {{"build", "--screen", "0x0", "-o", out, in_}, 2, "--screen takes WIDTHxHEIGHT, each 1 to 65535"},
        {{"unify", in_, "-o", out, "--colors", "48"}, 2, "bad option --colors 48"},
        {{"unify", in_, "-o", out}, 2, "needs IN, -o OUT and --colors K"},
        {{"optimize", in_}, 2, "needs IN and -o OUT"},
        {{"transition", in_, "-o", out}, 2, "needs IN, -o OUT and --after I"},
        {{"transition", in_, "-o", out, "--after", "999"}, 2, "--after takes a frame number from 1 to "},
        {{"transition", in_, "-o", out, "--after", "1", "--steps", "16"}, 2, "--steps takes 1 to 15"},
        {{"transition", in_, "-o", out, "--after", "1", "--pattern", "99"}, 2, "no pattern 99"},
        {{"transition", in_, "-o", out, "--after", "1", "--to-color", "12345G"}, 2, "--to-color takes RRGGBB"},
        {{"transition", in_, "-o", out, "--after", "1", "--delay", "65536"}, 2, "--delay takes 0 to 65535"},
        {{"build", "--foo", "-o", out, in_}, 2, "zell-cli: build: unknown option --foo" + see},
        {{"build", "--foo=3", "-o", out, in_}, 2, "zell-cli: build: unknown option --foo" + see},
        {{"optimize", in_, "-x", "-o", out}, 2, "zell-cli: optimize: unknown option -x (see zell-cli optimize --help)"},
        {{"info", "--json=yes", in_}, 2, "zell-cli: info: --json takes no value (see zell-cli info --help)"},
        {{"build", in_, "-o"}, 2, "zell-cli: build: -o needs a value" + see},
        {{"build", "-o", out, in_, "--optimize="}, 2, "zell-cli: build: --optimize= needs a value after the '='" + see},
        {{"--bogus", "info", in_}, 2, "zell-cli: unknown option --bogus (see zell-cli --help)\n"},
        {{"build", "-o", "out.gif", "--odd.gif"}, 2, "zell-cli: build: unknown option --odd.gif" + see},
        {{"edit", in_, "-o", out}, 2, "at least one operation"},
        {{"edit", in_, "-o", out, "--filter", "nearest", "--resize", "50%"}, 2, "belongs to the --resize"},
        {{"edit", in_, "-o", out, "--rotate", "45"}, 2, "90, 180 or 270"},
        {{"edit", in_, "-o", out, "--flip", "sideways"}, 2, "horizontal or vertical"},
        {{"edit", in_, "-o", out, "--crop", "10x10+3"}, 2, "WxH+X+Y"},
        {{"edit", in_, "-o", out, "--resize", "0x5"}, 2, "WxH"},
        {{"edit", in_, "-o", out, "--speed", "0"}, 2, "percentage"},
        {{"edit", in_, "-o", out, "--frames", "5-2"}, 2, "A-B"},
        {{"edit", in_, "-o", out, "--crop", "10x10+500+500"}, 1, "outside the screen"},
        {{"optimize", in_, "-o", out, "--lossy=201"}, 2, "--lossy takes a level 0-200"},
        {{"optimize", in_, "-o", out, "--transparency=existing", "--lossy"}, 2, ""},
        {{"export", project_, "-o", out, "--optimize=transparency", "--lossy=20"}, 2, ""},
        {{"optimize", "--lossy", "40", in_, "-o", out}, 2, ""}, // 40 is an input, one too many
        {{"frames", "-", "-o", "-"}, 2, ""},
        {{"build", "-o", out, in_, project_}, 2, "a project can only be the first input"},
        {{"build", "-o", out, in_, "--format", "png"}, 2, "--format takes gif or zpj"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(out);
        const auto r = run(c.args);
        const std::string what = ::testing::PrintToString(c.args);
        EXPECT_EQ(r.status, c.status) << what << r.err;
        if (c.status == 0)
            EXPECT_EQ(r.out.rfind(c.text, 0), 0u) << what << r.out;
        else
            test::expectContains(r.err, {c.text});
        EXPECT_EQ(std::filesystem::exists(out), c.status == 0 && c.text.empty()) << what;
    }
    // "--" makes the arguments after it inputs, even those that look like options.
    std::filesystem::copy_file(in_, path("--odd.gif"));
    const auto named = run({"build", "-o", "out.gif", "--", "--odd.gif", "-o"});
    EXPECT_EQ(named.status, 1) << named.err;
    EXPECT_EQ(named.err, "zell-cli: build: -o: cannot be read (missing, a folder, or no permission)\n");
    EXPECT_EQ(run({"build", "-o", "out.gif", "--", "--odd.gif"}).status, 0);
    const auto odd = test::readFile(out);
    EXPECT_EQ(odd, written({"build", "-o", out, in_}, out));

    const std::string version = run({"--version"}).out;
    EXPECT_EQ(run({"info", "--version"}).out, version);
    const auto help = run({"build", "--help"});
    ASSERT_EQ(help.out.rfind("Usage: zell-cli build", 0), 0u);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"help", "build"}, {"--help", "build"},
                                                {"-h", "build"}, {"build", "--delay", "x", "--bogus", "-h"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, help.out) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(run({"help"}).out, run({"--help"}).out);
}

// A pipe gives the bytes a file would get; standard input is told apart by
// its content; no run makes a file named "-".
TEST_F(CommandLine, StandardInputAndOutputAreFiles)
{
    const std::string out = path("out.gif");
    const auto fromFile = written({"optimize", in_, "-o", out}, out);
    auto piped = run({"optimize", "-", "-o", "-"}, in_);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(std::vector<uint8_t>(piped.out.begin(), piped.out.end()), fromFile);
    EXPECT_EQ(piped.err, "");

    const std::string projectOut = path("out.zpj");
    const auto projectFile = written({"edit", project_, "--reverse", "-o", projectOut}, projectOut);
    piped = run({"edit", "-", "--reverse", "-o", "-", "--format", "zpj"}, project_);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(std::vector<uint8_t>(piped.out.begin(), piped.out.end()), projectFile);

    const auto built = run({"build", "-o", "-", "-", in_}, in_);
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(std::vector<uint8_t>(built.out.begin(), built.out.end()), written({"build", "-o", out, in_, in_}, out));

    // Failures say "standard input" and leave standard output empty.
    test::writeFile(path("empty"), {});
    const auto empty = run({"optimize", "-", "-o", "-"}, path("empty"));
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "zell-cli: optimize: standard input: the file is empty\n");
    EXPECT_EQ(empty.out, "");
    const auto none = run({"build", "-o", "-", path("none.gif")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");

    // Nor a work folder left behind (TMPDIR is the scratch folder).
    for (const auto& name : test::namesIn(dir_.path())) {
        EXPECT_NE(name, "-");
        EXPECT_NE(name.rfind("zell", 0), 0u) << name;
    }
}

// A reader that has gone away makes a failed run that cleans up after
// itself, not a death by SIGPIPE that leaves its work folder behind.
TEST_F(CommandLine, AClosedPipeIsAFailedWrite)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const std::string err = path("err.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in_.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {ZELL_CLI_PATH, "optimize", "-", "-o", "-"};
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string tmpdir = "TMPDIR=" + path("tmp");
    std::filesystem::create_directories(path("tmp"));
    std::vector<char*> envp = {const_cast<char*>(tmpdir.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, ZELL_CLI_PATH, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const auto message = test::readFile(err);
    EXPECT_EQ(std::string(message.begin(), message.end()),
              "zell-cli: optimize: standard output: writing failed (Broken pipe)\n");
    EXPECT_TRUE(test::namesIn(path("tmp")).empty());
}

} // namespace
} // namespace zell
