// Writes the starting inputs of every fuzz target: brisa-fuzz-seeds FOLDER
// creates FOLDER/<target>/<n> for each target. The inputs are small, valid
// examples of each format (and a few damaged ones), built here byte by byte.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Seeds = std::vector<std::string>;

void PutLe(std::string& pBytes, size_t pOffset, uint64_t pValue, int pSize) {
    if (pBytes.size() < pOffset + static_cast<size_t>(pSize))
        pBytes.resize(pOffset + static_cast<size_t>(pSize), '\0');
    for (int i = 0; i < pSize; ++i)
        pBytes[pOffset + static_cast<size_t>(i)] = static_cast<char>((pValue >> (8 * i)) & 0xFF);
}

void PutText(std::string& pBytes, size_t pOffset, const std::string& pText) {
    if (pBytes.size() < pOffset + pText.size() + 1)
        pBytes.resize(pOffset + pText.size() + 1, '\0');
    pBytes.replace(pOffset, pText.size(), pText);
    pBytes[pOffset + pText.size()] = '\0';
}

std::string AddrBkRecord(const std::string& pName, const std::string& pAddress) {
    std::string record(1658, '\0');
    PutText(record, 26, pName);
    PutText(record, 58, pAddress);
    return record;
}

Seeds AddrBk() {
    return {
        "HDR" + AddrBkRecord("Ann Smith", "ann@example.com") + AddrBkRecord("Bob", "Bob Jones"),
        AddrBkRecord("J\xE9r\xF4me\r\n", "jerome@example.fr\r\n"),
        std::string(1657, 'x'),
    };
}

std::string Wab(const std::vector<std::pair<std::string, int>>& pNames,
                const std::vector<std::pair<std::string, int>>& pAddresses) {
    std::string file(100, '\0');
    const size_t nameTable = 100;
    const size_t addressTable = nameTable + pNames.size() * 36;
    PutLe(file, 20, pNames.size(), 4);
    PutLe(file, 48, nameTable, 4);
    PutLe(file, 96, addressTable, 4);
    auto table = [&](size_t pAt, const std::vector<std::pair<std::string, int>>& pEntries) {
        for (size_t i = 0; i < pEntries.size(); ++i) {
            PutText(file, pAt + i * 36, pEntries[i].first);
            PutLe(file, pAt + i * 36 + 32, static_cast<uint64_t>(pEntries[i].second), 1);
            if (file.size() < pAt + (i + 1) * 36)
                file.resize(pAt + (i + 1) * 36, '\0');
        }
    };
    table(nameTable, pNames);
    table(addressTable, pAddresses);
    return file;
}

Seeds WabSeeds() {
    return {
        Wab({{"Ann Smith", 1}, {"Bob Jones", 2}}, {{"bob@example.org", 2}, {"ann@example.com", 1}}),
        Wab({{"Caf\xE9", 1}}, {{"cafe@example.com", 1}}),
        std::string(100, '\xFF'),
    };
}

std::string Nab(const std::vector<std::pair<std::string, std::string>>& pRecords) {
    const size_t base = 400;
    std::string file(base + 8, '\0');
    PutLe(file, 356, base, 2);
    PutLe(file, base + 7, pRecords.size(), 1);
    for (size_t i = 0; i < pRecords.size(); ++i) {
        const size_t at = base + 8 + i * 68;
        file.resize(at + 68, '\0');
        PutText(file, at + 4, pRecords[i].second);
        PutText(file, at + 36, pRecords[i].first);
    }
    return file;
}

Seeds NabSeeds() {
    return {
        Nab({{"Ann Smith", "ann@example.com"}, {"Bob Jones", "bob@example.org"}}),
        Nab({{"Zo\xEB", "zoe@example.net"}}),
        std::string(358, '\0'),
    };
}

Seeds Ldif() {
    return {
        "dn: cn=Ann Smith,mail=ann@example.com\r\n"
        "objectclass: top\r\n"
        "cn: Ann Smith\r\n"
        "mail: ann@example.com\r\n"
        "\r\n"
        "dn: cn=Bob\r\n"
        "cn:: Qm9iIErDtnJn\r\n"
        "mail: bob@exa\r\n"
        " mple.org\r\n",
        "version: 1\ndn: x\nCN: Caf\xE9\nMAIL: cafe@example.com\n",
        "dn: a\rcn:: ====\rmail:: YUBiLmM=\r",
    };
}

Seeds Nickname() {
    return {
        "alias ann ann@example.com\n"
        "alias \"The Team\" ann,bob@example.org,\n"
        "alias bob bob@example.org\r\n"
        "ALIAS all The Team,ann\r",
        "alias \"unclosed ann@example.com\nalias x\n",
        "alias loop loop,loop\nalias self self@example.com,loop\n",
    };
}

// vCard inputs start with the two bytes that choose the piece sizes.
Seeds VCard() {
    return {
        std::string("\x05\x03", 2) +
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Smith\r\nN:Smith;Ann;;;\r\n"
            "EMAIL;TYPE=INTERNET:ann@work.example\r\nEMAIL;TYPE=INTERNET,PREF:ann@example.com\r\n"
            "END:VCARD\r\n",
        std::string("\x10\x01", 2) +
            "BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6rg;=\n"
            "Bob\nEMAIL;PREF;INTERNET:bob@example.org\nEND:VCARD\n"
            "BEGIN:VCARD\nVERSION:4.0\nFN:Caf\xC3\xA9\n  au lait\nEMAIL;PREF=2:two@example.net\n"
            "EMAIL;PREF=1:one@example.net\nEND:VCARD\n",
        std::string("\x00\x07", 2) + "BEGIN:VCARD\rFN;ENCODING=b:QW5u\rEMAIL:a@b.c\rBEGIN:VCARD\r"
                                     "N:;;;\rEND:VCARD",
    };
}

Seeds Language() {
    return {
        "' BrisaMail English\r\nmm0005\tPlease enter a recipient.\r\nmm0082\tThe address \r\n"
        "mm0083\t is not valid.\t(comment)\r\nopt0005\tAOL (AddrBk.lst)\r\n",
        "  MM0001  \t  Record  \nmm0001\tignored second\nlonely\n\tno id\n",
        "mail0001\tVoice message from \xE9t\xE9 \x80\n",
    };
}

Seeds Registry() {
    return {
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\r\n"
        "\"MyEmail\"=\"ann@example.com\"\r\n\"Name\"=\"Ann \\\"the voice\\\" Smith\"\r\n"
        "\"Count\"=dword:0000002a\r\n\"Blob\"=hex:01,02,ff\r\n"
        "\"Multi\"=hex(7):41,00,42,00,\\\r\n  00,00\r\n@=\"default\"\r\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
        "\"BrisaMail\"=\"/usr/bin/brisamail 1\"\n; comment\n[-HKEY_X]\n\"Odd\"=hex(1):41,00\n",
        "not a registry\n\"a\"=\"b\"\n[k]\n\"v\"=hex:zz\n\"w\"=dword:123456789\n",
    };
}

// Two length bytes, then delimiter, replacement and text.
std::string Utility(const std::string& pDelimiter, const std::string& pReplacement,
                    const std::string& pText) {
    std::string input;
    input += static_cast<char>(pDelimiter.size());
    input += static_cast<char>(pReplacement.size());
    return input + pDelimiter + pReplacement + pText;
}

Seeds Utilities() {
    return {
        Utility(",", ", ", "ann@example.com,bob@example.org,,carl"),
        Utility("\t", "", "AOL (AddrBk.lst)\t/home/ann/AddrBk.lst\t"),
        Utility("aa", "aaa", "AAaAaaA"),
        Utility("\xC3\x89", "e", "caf\xC3\xA9 \xC3\x89t\xC3\xA9"),
    };
}

Seeds AddressCheck() {
    return {
        "ann@example.com, bob@example.org",
        "ann@example.com,,no-at-sign",
        "  carl@localhost  ",
        "ann@example.com;bob@example.org, x@y.z",
        std::string(513, 'a'),
    };
}

// The first byte chooses the device faults; lines are commands.
Seeds Mci() {
    return {
        std::string(1, '\0') +
            "open new type waveaudio alias brisamsg\nrecord brisamsg\npause brisamsg\n"
            "record brisamsg\nstop brisamsg\nseek brisamsg to start\nplay brisamsg from 0\n"
            "play brisamsg from 50\nsave brisamsg \"in.wav\"\nclose brisamsg",
        std::string(1, '\0') +
            "OPEN NEW TYPE WAVEAUDIO ALIAS A\nRECORD a OVERWRITE\nsave a in.wav\nsave a \"\"\n"
            "play a from 99999\nclose a\nclose a",
        std::string(1, '\x02') + "open new type waveaudio alias x\nrecord x\n",
        std::string(1, '\x0C') +
            "open new alias b type waveaudio\nrecord b\nplay b from 0\nsave b \"unclosed\n",
    };
}

bool WriteAll(const std::filesystem::path& pFolder, const Seeds& pSeeds) {
    std::error_code error;
    std::filesystem::create_directories(pFolder, error);
    if (error)
        return false;
    for (size_t i = 0; i < pSeeds.size(); ++i) {
        std::ofstream out(pFolder / ("seed-" + std::to_string(i + 1)), std::ios::binary);
        out.write(pSeeds[i].data(), static_cast<std::streamsize>(pSeeds[i].size()));
        if (!out)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::vector<std::pair<const char*, Seeds>> all = {
        {"fuzz_addrbk_list", AddrBk()},
        {"fuzz_wab", WabSeeds()},
        {"fuzz_nab", NabSeeds()},
        {"fuzz_ldif", Ldif()},
        {"fuzz_nickname", Nickname()},
        {"fuzz_vcard", VCard()},
        {"fuzz_language", Language()},
        {"fuzz_registry", Registry()},
        {"fuzz_utilities", Utilities()},
        {"fuzz_address_check", AddressCheck()},
        {"fuzz_mci", Mci()},
    };
    for (const auto& [name, seeds] : all) {
        if (!WriteAll(folder / name, seeds)) {
            std::fprintf(stderr, "cannot write the seeds of %s below %s\n", name, argv[1]);
            return 1;
        }
    }
    return 0;
}
