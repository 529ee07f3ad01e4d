// The command line's progress line and Ctrl+C. One Progress serves the whole
// process: it draws "zell-cli: <command>: done / total" on stderr when that
// is a terminal, and reports a stop once SIGINT arrived, so the running
// operation unwinds and leaves no output and no work files behind.
#pragma once

#include <string>

#include "document/progress.h"

namespace zell::cli {

// Catches SIGINT (a second one ends the process at once) and decides whether
// the line is drawn: only on a terminal and not when `quiet`.
void startProgress(const std::string& command, bool quiet);
// No line from now on, whatever startProgress decides: --quiet, or the
// output is standard output.
void quietProgress();
// Clears the line so that messages start at the left margin.
void endProgress();
// What every long operation of a command takes.
Progress* progress();
bool interrupted();

inline constexpr int kExitInterrupted = 130; // as a shell reports a SIGINT death

} // namespace zell::cli
