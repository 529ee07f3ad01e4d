// Another process changing an input while zell reads it, played by a hook
// between MappedFile's reads.
#pragma once

#include <cstdint>
#include <string>

namespace zell::test {

class InputChange {
public:
    enum Kind {
        shrink, // cut to 100 bytes
        grow,   // 10 bytes appended
    };
    // The change comes once, before the read of `path` that starts at
    // `offset` (0: after the size was taken, before any byte was read).
    InputChange(std::string path, Kind kind, uint64_t offset);
    ~InputChange();
    InputChange(const InputChange&) = delete;
    InputChange& operator=(const InputChange&) = delete;

    bool happened() const;
};

} // namespace zell::test
