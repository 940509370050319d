#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

FileRead ReadRegularFile(const std::string& pPath, std::string& pBytes, int64_t pMaxSize) {
    pBytes.clear();
    // Opened without waiting, so a pipe in the file's place cannot hold the
    // caller up; only then is it asked what it is.
    const int fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? FileRead::Missing : FileRead::Failed;
    const auto fail = [&] {
        ::close(fd);
        pBytes.clear();
        return FileRead::Failed;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > pMaxSize) return fail();
    pBytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail();
        if (n == 0) break;
        pBytes.append(buffer, static_cast<size_t>(n));
        // The file may grow while it is read.
        if (static_cast<int64_t>(pBytes.size()) > pMaxSize) return fail();
    }
    ::close(fd);
    return FileRead::Read;
}

} // namespace brisa
