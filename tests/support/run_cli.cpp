#include "support/run_cli.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace zell::test {

CliResult runCli(const std::vector<std::string>& args, const std::string& tmpdir)
{
    CliSetting setting;
    setting.tmpdir = tmpdir;
    return runCli(args, setting);
}

CliResult runCli(const std::vector<std::string>& args, const CliSetting& setting)
{
    ScratchDir dir;
    const std::string program = setting.program.empty() ? ZELL_CLI_PATH : setting.program;
    const std::string out = (dir.path() / "out").string(), err = (dir.path() / "err").string();
    // Everything the child needs is made before the fork.
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    auto added = setting.environment;
    if (!setting.tmpdir.empty())
        added.emplace_back("TMPDIR", setting.tmpdir);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::none_of(added.begin(), added.end(), [&](const auto& a) { return a.first == name; }))
            environment.push_back(entry);
    }
    for (const auto& [name, value] : added)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(setting.standardInput.empty() ? "/dev/null" : setting.standardInput.c_str(), O_RDONLY);
        if (!setting.workingDirectory.empty() && ::chdir(setting.workingDirectory.c_str()) != 0)
            ::_exit(126);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
            ::_exit(126);
        if (setting.maxFileBytes != 0) {
            struct sigaction ignore = {};
            ignore.sa_handler = SIG_IGN;
            const rlimit limit = {setting.maxFileBytes, setting.maxFileBytes};
            if (::sigaction(SIGXFSZ, &ignore, nullptr) != 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(126);
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    CliResult result;
    int raw = 0;
    if (pid < 0 || ::waitpid(pid, &raw, 0) != pid)
        return result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto text = [](const std::string& path) {
        const std::vector<uint8_t> bytes = readFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    result.out = text(out);
    result.err = text(err);
    return result;
}

void expectContains(const std::string& text, const std::vector<std::string>& parts)
{
    for (const auto& part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << "no " << part << " in " << text;
}

} // namespace zell::test
