// Shared pieces of the fuzz targets: a check that stops at a broken property
// (the fuzzer keeps the input as a crash; the test suite, which runs every
// target on its pinned inputs, reports the check) and a UTF-8 test.
#pragma once

#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#ifdef BRISA_FUZZ_IN_SUITE
#define FUZZ_STOP(text) throw std::runtime_error(text)
#else
#define FUZZ_STOP(text) (std::fputs(text "\n", stderr), std::abort())
#endif
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) FUZZ_STOP(__FILE__ ": check failed: " #condition);                       \
    } while (false)

namespace brisa::fuzz {

inline std::string_view Bytes(const uint8_t* pData, size_t pSize) {
    return {reinterpret_cast<const char*>(pData), pSize};
}

// Well-formed UTF-8 as Qt's decoder sees it: no overlong forms, surrogates,
// code points beyond U+10FFFF or cut sequences.
inline bool IsUtf8(std::string_view pText) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(QByteArrayView(pText.data(), static_cast<qsizetype>(pText.size())));
    return !decoder.hasError();
}

} // namespace brisa::fuzz
