#include "language/translation.h"

#include "common/utilities.h"
#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "platform/regular_file.h"
#include "platform/system_info.h"

#include <cstdio>

namespace brisa {

cTranslation Translation;
std::string gLanguageId;

namespace {
std::string FoldKey(const std::string& pId) {
    std::string key = pId;
    for (auto& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return key;
}
} // namespace

bool cTranslation::Add(const cString& pEntry) {
    return m_Entries.emplace(FoldKey(pEntry.Id), pEntry).second;
}

const cString* cTranslation::Find(const std::string& pId) const {
    const auto it = m_Entries.find(FoldKey(pId));
    return it == m_Entries.end() ? nullptr : &it->second;
}

std::string LanguageId(ISystemInfo& pSystem) {
    const uint16_t id = pSystem.SystemLanguageId();
    if (id == 0) return "";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(id));
    return buffer;
}

void ParseLanguageText(const std::string& pBytes, cTranslation& pTable) {
    const std::string text = Cp1252ToUtf8(pBytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '\'') continue;
        cString entry;
        const auto tab = line.find('\t');
        if (tab == std::string::npos) {
            entry.Id = line;
        } else {
            entry.Id = TrimBlanks(line.substr(0, tab));
            const auto second = line.find('\t', tab + 1);
            entry.Translation = TrimBlanks(line.substr(
                tab + 1, second == std::string::npos ? std::string::npos : second - tab - 1));
        }
        pTable.Add(entry);
    }
}

void LoadLanguage(ISystemInfo& pSystem, const std::string& pProgramFolder) {
    Translation.Clear();
    auto fileOf = [&](const std::string& id) { return pProgramFolder + "/lang/" + id + ".txt"; };
    gLanguageId = LanguageId(pSystem);
    if (TrimBlanks(gLanguageId).empty()) {
        gLanguageId = "00000409";
    } else if (!FileExists(fileOf(gLanguageId))) {
        const std::string primary =
            "000004" + (gLanguageId.size() >= 2 ? gLanguageId.substr(gLanguageId.size() - 2) : gLanguageId);
        gLanguageId = FileExists(fileOf(primary)) ? primary : "00000409";
    }
    std::string bytes;
    if (ReadRegularFile(fileOf(gLanguageId), bytes) != FileRead::Read) return;
    ParseLanguageText(bytes, Translation);
}

std::string TranslatedPicture(const std::string& pRelative) {
    if (!gLanguageId.empty()) {
        const bool slash = !pRelative.empty() && pRelative.front() == '/';
        const std::string translated = ProgramPath("/" + gLanguageId + (slash ? "" : "/") + pRelative);
        if (FileExists(translated)) return translated;
    }
    return ProgramPath(pRelative);
}

std::optional<std::string> Tr(const std::string& pId) {
    if (const cString* entry = Translation.Find(pId)) return entry->Translation;
    return std::nullopt;
}

} // namespace brisa
