// A shared handle on one work file. Work files are written once and never
// changed afterwards, so frames and undo history steps can share them: the
// file is deleted when the last handle that refers to it lets go (and, as
// before, with the whole work directory at exit).
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace zell {

class WorkFile {
public:
    WorkFile() = default;
    // Adopts the file: it is deleted when the last handle on it goes.
    explicit WorkFile(std::string path) { adopt(std::move(path)); }
    explicit WorkFile(const char* path) { adopt(path ? std::string(path) : std::string()); }
    WorkFile& operator=(std::string path)
    {
        adopt(std::move(path));
        return *this;
    }
    WorkFile& operator=(const char* path) { return *this = std::string(path ? path : ""); }

    const std::string& path() const { return owner_ ? owner_->path : empty_(); }
    operator const std::string&() const { return path(); }
    const char* c_str() const { return path().c_str(); }
    bool empty() const { return path().empty(); }
    // Lets go of the file; deletes it when this was the last handle.
    void clear() { owner_.reset(); }
    // How many handles share the file (0 for none).
    long useCount() const { return owner_.use_count(); }
    // Whether both handles share one file (by identity, not by name).
    bool sameAs(const WorkFile& other) const { return owner_ == other.owner_; }
    // The same for handles that share one file, null for none.
    const void* identity() const { return owner_.get(); }

    friend bool operator==(const WorkFile& a, const WorkFile& b) { return a.path() == b.path(); }
    friend bool operator==(const WorkFile& a, const std::string& b) { return a.path() == b; }
    friend bool operator==(const WorkFile& a, const char* b) { return a.path() == b; }
    friend std::ostream& operator<<(std::ostream& out, const WorkFile& file) { return out << file.path(); }

private:
    struct Owner {
        explicit Owner(std::string p) : path(std::move(p)) {}
        Owner(const Owner&) = delete;
        Owner& operator=(const Owner&) = delete;
        ~Owner();
        std::string path;
    };
    static const std::string& empty_();
    void adopt(std::string path);

    std::shared_ptr<const Owner> owner_;
};

} // namespace zell
