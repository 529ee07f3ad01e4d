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

CliResult runCli(const std::vector<std::string>& args);

} // namespace zell::test
