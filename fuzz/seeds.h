// The starting inputs of every fuzz target, which the test suite also runs
// through the targets: small valid examples of each format, damaged ones,
// and the inputs that once broke a property (kept so it stays fixed).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace brisa::fuzz {

using Seeds = std::vector<std::string>;

// pBytes with pValue written at pAt (pSize bytes, least significant first;
// 0 writes pText and its NUL instead), grown as needed.
inline std::string& Put(std::string& pBytes, size_t pAt, uint64_t pValue, int pSize,
                        const std::string& pText = {}) {
    const std::string part = pSize ? std::string(static_cast<size_t>(pSize), '\0') : pText + '\0';
    if (pBytes.size() < pAt + part.size()) pBytes.resize(pAt + part.size(), '\0');
    pBytes.replace(pAt, part.size(), part);
    for (int i = 0; i < pSize; ++i) pBytes[pAt + static_cast<size_t>(i)] = static_cast<char>(pValue >> (8 * i));
    return pBytes;
}

inline std::string AddrBkRecord(const std::string& pName, const std::string& pAddress) {
    std::string record(1658, '\0');
    Put(record, 26, 0, 0, pName);
    return Put(record, 58, 0, 0, pAddress);
}

// Names and addresses of .wab tables: 36-byte entries of text and a record id.
inline std::string Wab(const std::vector<std::pair<std::string, int>>& pNames,
                       const std::vector<std::pair<std::string, int>>& pAddresses) {
    std::string file(100, '\0');
    Put(file, 20, pNames.size(), 4);
    Put(file, 48, 100, 4);
    Put(file, 96, 100 + pNames.size() * 36, 4);
    size_t at = 100;
    for (const auto* table : {&pNames, &pAddresses})
        for (const auto& [text, id] : *table) {
            Put(file, at, 0, 0, text);
            Put(file, at + 32, static_cast<uint64_t>(id), 4);
            at += 36;
        }
    return file;
}

inline std::string Nab(const std::vector<std::pair<std::string, std::string>>& pRecords) {
    std::string file(408, '\0');
    Put(file, 356, 400, 2);
    Put(file, 407, pRecords.size(), 1);
    for (size_t i = 0; i < pRecords.size(); ++i) {
        Put(file, 408 + i * 68 + 36, 0, 0, pRecords[i].first);
        Put(file, 408 + i * 68 + 4, 0, 0, pRecords[i].second);
        file.resize(408 + (i + 1) * 68, '\0');
    }
    return file;
}

// The utilities target: two length bytes, then delimiter, replacement, text.
inline std::string Utility(const std::string& pDelimiter, const std::string& pReplacement,
                           const std::string& pText) {
    return std::string{static_cast<char>(pDelimiter.size()), static_cast<char>(pReplacement.size())} +
           pDelimiter + pReplacement + pText;
}

inline std::vector<std::pair<std::string, Seeds>> AllSeeds() {
    using namespace std::string_literals;
    return {
        {"fuzz_addrbk_list",
         {"HDR" + AddrBkRecord("Ann Smith", "ann@example.com") + AddrBkRecord("Bob", "Bob Jones"),
          AddrBkRecord("J\xE9r\xF4me\r\n", "jerome@example.fr\r\n"), std::string(1657, 'x')}},
        {"fuzz_wab",
         {Wab({{"Ann Smith", 1}, {"Bob Jones", 2}}, {{"bob@example.org", 2}, {"ann@example.com", 1}}),
          Wab({{"Caf\xE9", 1}}, {{"cafe@example.com", 1}}), std::string(100, '\xFF')}},
        {"fuzz_nab",
         {Nab({{"Ann Smith", "ann@example.com"}, {"Bob Jones", "bob@example.org"}}),
          Nab({{"Zo\xEB", "zoe@example.net"}}), std::string(358, '\0')}},
        {"fuzz_ldif",
         {"dn: cn=Ann Smith,mail=ann@example.com\r\nobjectclass: top\r\ncn: Ann Smith\r\n"
          "mail: ann@example.com\r\n\r\ndn: cn=Bob\r\ncn:: Qm9iIErDtnJn\r\nmail: bob@exa\r\n mple.org\r\n",
          "version: 1\ndn: x\nCN: Caf\xE9\nMAIL: cafe@example.com\n",
          "dn: a\rcn:: ====\rmail:: YUBiLmM=\rdn: b\ncn:: QW5u\nmail: a@b.c\ndn: c\ncn:: !!\nmail: c@d.e\n"}},
        {"fuzz_nickname",
         {"alias ann ann@example.com\nalias \"The Team\" ann,bob@example.org,\n"
          "alias bob bob@example.org\r\nALIAS all The Team,ann\r",
          "alias \"unclosed ann@example.com\nalias x\n",
          "alias loop loop,loop\nalias self self@example.com,loop\nalias \"unclosed ann@example.com\n"}},
        // Two bytes choose the piece sizes, then the cards.
        {"fuzz_vcard",
         {"\x05\x03"s "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Smith\r\nN:Smith;Ann;;;\r\n"
          "EMAIL;TYPE=INTERNET:ann@work.example\r\nEMAIL;TYPE=INTERNET,PREF:ann@example.com\r\nEND:VCARD\r\n",
          "\x10\x01"s "BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6rg;=\n"
          "Bob\nEMAIL;PREF;INTERNET:bob@example.org\nEND:VCARD\nBEGIN:VCARD\nVERSION:4.0\n"
          "FN:Caf\xC3\xA9\n  au lait\nEMAIL;PREF=2:two@example.net\nEMAIL;PREF=1:one@example.net\nEND:VCARD\n",
          "\x00\x07"s "BEGIN:VCARD\rFN;ENCODING=b:QW5u\rEMAIL:a@b.c\rBEGIN:VCARD\rN:;;;\rEND:VCARD",
          "\x00\x00"s "BEGIN:VCARD\r\nN;ENCODING=QUOTED-PRINTABLE:J=C3=B6rg;=\r\nBob\r\nEND:VCARD\r\n"
          "BEGIN:VCARD\nFN:Caf\xC3\xA9\n  au lait\nEND:VCARD\rBEGIN:VCARD\rFN:\x01tab\there\r"}},
        {"fuzz_language",
         {"' BrisaMail English\r\nmm0005\tPlease enter a recipient.\r\nmm0082\tThe address \r\n"
          "mm0083\t is not valid.\t(comment)\r\nopt0005\tAOL (AddrBk.lst)\r\n",
          "  MM0001  \t  Record  \nmm0001\tignored second\nlonely\n\tno id\n'comment\tx\n",
          "mail0001\tVoice message from \xE9t\xE9 \x80\n\xE9t\xE9\tsummer\n"}},
        {"fuzz_registry",
         {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\r\n"
          "\"MyEmail\"=\"ann@example.com\"\r\n\"Name\"=\"Ann \\\"the voice\\\" Smith\"\r\n"
          "\"Count\"=dword:0000002a\r\n\"Blob\"=hex:01,02,ff\r\n\"Multi\"=hex(7):41,00,42,00,\\\r\n  00,00\r\n"
          "@=\"default\"\r\n",
          "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
          "\"BrisaMail\"=\"/usr/bin/brisamail 1\"\n; comment\n[-HKEY_X]\n\"Odd\"=hex(1):41,00\n",
          "not a registry\n\"a\"=\"b\"\n[k]\n\"v\"=hex:zz\n\"w\"=dword:123456789\n\"x\"=hex(x):00\n",
          "REGEDIT4\n[K]\n\"a\\\"b\\\\\"=\"x\\\\\\\"y\"\n",
          "\xEF\xBB\xBFREGEDIT4\r\n[a]b]\r\n\"\"=\"empty name\"\r\n@=\"default\"\r\n",
          "REGEDIT4\n[K]\n\"Name\"=\"1\"\n\"NAME\"=\"2\"\n[k]\n\"name\"=dword:ffffffff\n",
          "REGEDIT4\n[K]\n\"m\"=hex(7):41,00,\\\n 42,00,\\\n00\n\"b\"=hex:\n\"v\"=hex:1,2,\n",
          "REGEDIT4\n[K]\n\"s\"=hex(1):41,42\n\"z\"=hex(1):\n\"d\"=hex(4):01,02,03\n\"t\"=hex(0):\n",
          "REGEDIT4\n[K]\n\"\xC3\x84rger\"=\"\xC3\xA4\"\n\"\xC3\xA4rger\"=\"second\"\n\"bad\"=\"\xFF\xFE\"\n"
          "\"cr\"=\"a\rb\"\n"}},
        // "AAaAaaA" with "aa" for "aa" once changed more than the letter case.
        {"fuzz_utilities",
         {Utility(",", ", ", "ann@example.com,bob@example.org,,carl"),
          Utility("\t", "", "AOL (AddrBk.lst)\t/home/ann/AddrBk.lst\t"), Utility("aa", "aaa", "AAaAaaA"),
          Utility("aa", "aa", "AAaAaaA"), Utility("\xC3\x89", "e", "caf\xC3\xA9 \xC3\x89t\xC3\xA9"),
          Utility("", "", "a,,b"), Utility("XYZ", "", "xYzXyZ"), Utility("\xC3", "", "\xC3")}},
        {"fuzz_address_check",
         {"ann@example.com, bob@example.org", "ann@example.com,,no-at-sign", "  carl@localhost  ",
          "ann@example.com;bob@example.org, x@y.z", std::string(513, 'a')}},
        // The first byte chooses the device's faults; lines are commands.
        {"fuzz_mci",
         {"\x00"s "open new type waveaudio alias brisamsg\nrecord brisamsg\npause brisamsg\n"
          "record brisamsg\nstop brisamsg\nseek brisamsg to start\nplay brisamsg from 0\n"
          "play brisamsg from 50\nsave brisamsg \"in.wav\"\nclose brisamsg",
          "\x00"s "OPEN NEW TYPE WAVEAUDIO ALIAS A\nRECORD a OVERWRITE\nsave a in.wav\nsave a \"\"\n"
          "play a from 99999\nclose a\nclose a",
          "\x02open new type waveaudio alias x\nrecord x\n",
          "\x0Copen new alias b type waveaudio\nrecord b\nplay b from 0\nsave b \"unclosed\n"}},
    };
}

} // namespace brisa::fuzz
