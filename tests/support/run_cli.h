// Runs zell-cli as a user would and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace zell::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// With `tmpdir`, zell-cli runs with TMPDIR set to it.
CliResult runCli(const std::vector<std::string>& args, const std::string& tmpdir = {});

} // namespace zell::test
