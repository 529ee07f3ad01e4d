// Faults that tests ask zell-cli for through the environment; linked only
// into the test build of zell-cli, never into the program that ships.
//   ZELL_TEST_STOP_AFTER_TEMPORARY=1   stop (SIGSTOP) once an output's
//                                      temporary file exists
//   ZELL_TEST_SHRINK_WHILE_READING=P   cut file P to 100 bytes after its
//                                      first read, as another process might
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <string>

#include "document/temporary_file.h"
#include "image/mapped_file.h"

namespace {

void stopHere(const std::string&)
{
    ::raise(SIGSTOP);
}

void shrinkWhileReading(const std::string& path, uint64_t done)
{
    const char* victim = std::getenv("ZELL_TEST_SHRINK_WHILE_READING");
    if (done > 0 && victim && path == victim && ::truncate(path.c_str(), 100) != 0)
        std::abort();
}

struct InstallHooks {
    InstallHooks()
    {
        if (std::getenv("ZELL_TEST_STOP_AFTER_TEMPORARY"))
            zell::TemporaryFile::setCreatedHook(stopHere);
        if (std::getenv("ZELL_TEST_SHRINK_WHILE_READING"))
            zell::MappedFile::setReadHook(shrinkWhileReading);
    }
} installHooks;

} // namespace
