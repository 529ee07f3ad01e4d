#include "support/run_cli.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "support/test_support.h"

namespace zell::test {

namespace {

std::string quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

CliResult runCli(const std::vector<std::string>& args, const std::string& tmpdir)
{
    ScratchDir dir;
    std::string command = (tmpdir.empty() ? "" : "TMPDIR=" + quote(tmpdir) + " ") + quote(ZELL_CLI_PATH);
    for (const auto& a : args)
        command += " " + quote(a);
    command += " >" + quote((dir.path() / "out").string()) + " 2>" + quote((dir.path() / "err").string()) + " </dev/null";
    int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(dir.path() / "out");
    result.err = slurp(dir.path() / "err");
    return result;
}

} // namespace zell::test
