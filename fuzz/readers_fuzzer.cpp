// One address-book reader on arbitrary file bytes, read from memory. The
// reader is chosen when the target is built (BRISA_FUZZ_READER):
// 1 AddrBk.lst, 2 .wab, 3 abook.nab, 4 LDIF, 5 nndbase.txt.
#include "addressbook/readers.h"
#include "common/utilities.h"
#include "fuzz/fuzz_support.h"

#ifndef BRISA_FUZZ_READER
#error "BRISA_FUZZ_READER names the reader this target runs"
#endif

using namespace brisa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
    const cMemorySource file(fuzz::Bytes(pData, pSize));
    cAddressList list;
    list.AddEntry("left over", "from@before.example"); // every reader starts afresh
    size_t most = SIZE_MAX;
    bool sorted = true;
#if BRISA_FUZZ_READER == 1
    ReadAddrBkList(file, list);
    most = pSize / 1658;
#elif BRISA_FUZZ_READER == 2
    ReadWabFile(file, list);
    most = 255;
#elif BRISA_FUZZ_READER == 3
    ReadNabFile(file, list);
    most = 255;
#elif BRISA_FUZZ_READER == 4
    ReadLdifFile(file, list);
#elif BRISA_FUZZ_READER == 5
    ReadNicknameFile(file, list);
    sorted = false; // expansion rewrites rows in place
#endif
    const auto& rows = list.Rows();
    FUZZ_CHECK(rows.size() <= most);
    for (size_t i = 0; i < rows.size(); ++i) {
        // One line of name, tab, address: no other control character.
        const size_t tab = rows[i].find('\t');
        FUZZ_CHECK(tab != std::string::npos && fuzz::IsUtf8(rows[i]) && rows[i] != "left over\tfrom@before.example");
        FUZZ_CHECK(!HoldsControlCharacter(rows[i].substr(0, tab)) && !HoldsControlCharacter(rows[i].substr(tab + 1)));
        FUZZ_CHECK(!sorted || i == 0 || CompareNoCase(rows[i - 1], rows[i]) <= 0);
    }
    return 0;
}
