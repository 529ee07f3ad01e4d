// Runs zell-cli as a user would and captures what it prints.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zell::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// With `tmpdir`, zell-cli runs with TMPDIR set to it.
CliResult runCli(const std::vector<std::string>& args, const std::string& tmpdir = {});

// How else a run may differ from a user's.
struct CliSetting {
    std::string program;                                      // empty: zell-cli
    std::string tmpdir;                                       // empty: as inherited
    std::vector<std::pair<std::string, std::string>> environment; // added to the inherited one
    uint64_t maxFileBytes = 0; // nonzero: longer writes fail with EFBIG, as on a full disk
    std::string standardInput;    // a file to read as standard input; empty: /dev/null
    std::string workingDirectory; // empty: as inherited
};
CliResult runCli(const std::vector<std::string>& args, const CliSetting& setting);

// Each part is somewhere in the text.
void expectContains(const std::string& text, const std::vector<std::string>& parts);

} // namespace zell::test
