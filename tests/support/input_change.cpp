#include "support/input_change.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include "image/mapped_file.h"

namespace zell::test {

namespace {

struct Pending {
    std::string path;
    InputChange::Kind kind = InputChange::shrink;
    uint64_t offset = 0;
    bool happened = false;
} pending;

void change(const std::string& path, uint64_t done)
{
    if (pending.happened || path != pending.path || done != pending.offset)
        return;
    pending.happened = true;
    if (pending.kind == InputChange::shrink) {
        if (::truncate(path.c_str(), 100) != 0)
            std::abort();
        return;
    }
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f || std::fwrite("0123456789", 1, 10, f) != 10 || std::fclose(f) != 0)
        std::abort();
}

} // namespace

InputChange::InputChange(std::string path, Kind kind, uint64_t offset)
{
    pending = {std::move(path), kind, offset, false};
    MappedFile::setReadHook(change);
}

InputChange::~InputChange()
{
    MappedFile::setReadHook(nullptr);
    pending = {};
}

bool InputChange::happened() const
{
    return pending.happened;
}

} // namespace zell::test
