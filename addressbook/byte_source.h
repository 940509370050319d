// Bounded access to the bytes of an address-book file: every read names its
// offset and length and fails, without touching memory, when any byte of it
// lies outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisa {

class cByteSource {
public:
    virtual ~cByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies pLength bytes from pOffset into pBuffer; false (pBuffer then
    // undefined) when the range is not wholly inside the file or the read
    // fails.
    virtual bool Read(uint64_t pOffset, size_t pLength, char* pBuffer) const = 0;
    // Reads up to pLength bytes from pOffset; the count read (0 at the end).
    virtual size_t ReadSome(uint64_t pOffset, size_t pLength, char* pBuffer) const = 0;
};

// Bytes held in memory (tests, fuzzing). The text must outlive the source.
class cMemorySource : public cByteSource {
public:
    explicit cMemorySource(std::string_view pBytes) : m_Bytes(pBytes) {}
    uint64_t Size() const override { return m_Bytes.size(); }
    bool Read(uint64_t pOffset, size_t pLength, char* pBuffer) const override;
    size_t ReadSome(uint64_t pOffset, size_t pLength, char* pBuffer) const override;

private:
    std::string_view m_Bytes;
};

// A regular file opened for reading. Anything else (a folder, a pipe that
// would block, a device) counts as a file that cannot be opened.
class cFileSource : public cByteSource {
public:
    explicit cFileSource(const std::string& pPath);
    ~cFileSource() override;
    cFileSource(const cFileSource&) = delete;
    cFileSource& operator=(const cFileSource&) = delete;

    bool IsOpen() const { return m_Fd >= 0; }
    uint64_t Size() const override { return m_Size; }
    bool Read(uint64_t pOffset, size_t pLength, char* pBuffer) const override;
    size_t ReadSome(uint64_t pOffset, size_t pLength, char* pBuffer) const override;

private:
    int m_Fd = -1;
    uint64_t m_Size = 0;
};

} // namespace brisa
