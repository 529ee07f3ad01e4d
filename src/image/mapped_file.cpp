#include "image/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zell {

bool MappedFile::open(const std::string& path, bool writable)
{
    close();
    wasEmpty_ = false;
    fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd_ < 0) {
        close();
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > UINT32_MAX) {
        close();
        wasEmpty_ = S_ISREG(st.st_mode) && st.st_size == 0;
        return false;
    }
    const int protection = writable ? PROT_READ | PROT_WRITE : PROT_READ;
    void* view = ::mmap(nullptr, size_t(st.st_size), protection, MAP_SHARED, fd_, 0);
    if (view == MAP_FAILED) {
        close();
        return false;
    }
    view_ = static_cast<uint8_t*>(view);
    size_ = uint32_t(st.st_size);
    return true;
}

void MappedFile::close()
{
    if (view_)
        ::munmap(view_, size_);
    view_ = nullptr;
    size_ = 0;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace zell
