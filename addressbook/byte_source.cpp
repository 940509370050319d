#include "addressbook/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

bool cMemorySource::Read(uint64_t pOffset, size_t pLength, char* pBuffer) const {
    if (pOffset > m_Bytes.size() || pLength > m_Bytes.size() - pOffset)
        return false;
    if (pLength != 0)
        std::memcpy(pBuffer, m_Bytes.data() + pOffset, pLength);
    return true;
}

size_t cMemorySource::ReadSome(uint64_t pOffset, size_t pLength, char* pBuffer) const {
    if (pOffset >= m_Bytes.size())
        return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(pLength, m_Bytes.size() - pOffset));
    std::memcpy(pBuffer, m_Bytes.data() + pOffset, n);
    return n;
}

cFileSource::cFileSource(const std::string& pPath) {
    // O_NONBLOCK keeps a pipe with this name from stalling the open.
    const int fd = ::open(pPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return;
    }
    m_Fd = fd;
    m_Size = static_cast<uint64_t>(st.st_size);
}

cFileSource::~cFileSource() {
    if (m_Fd >= 0)
        ::close(m_Fd);
}

size_t cFileSource::ReadSome(uint64_t pOffset, size_t pLength, char* pBuffer) const {
    if (m_Fd < 0 || pOffset >= m_Size)
        return 0;
    pLength = static_cast<size_t>(std::min<uint64_t>(pLength, m_Size - pOffset));
    size_t done = 0;
    while (done < pLength) {
        const ssize_t n =
            ::pread(m_Fd, pBuffer + done, pLength - done, static_cast<off_t>(pOffset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the file shrank or cannot be read
        done += static_cast<size_t>(n);
    }
    return done;
}

bool cFileSource::Read(uint64_t pOffset, size_t pLength, char* pBuffer) const {
    if (m_Fd < 0 || pOffset > m_Size || pLength > m_Size - pOffset)
        return false;
    return ReadSome(pOffset, pLength, pBuffer) == pLength;
}

} // namespace brisa
