// The table of translated texts, loaded once at start-up from
// lang/<language id>.txt in the program folder.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace brisa {

class ISystemInfo;

// One entry of the table.
class cString {
public:
    std::string Id;
    std::string Translation;
};

// Keyed collection of cString records; keys compare case-insensitively.
// The first entry added under a key wins.
class cTranslation {
public:
    // False (and nothing changes) when the key is already present.
    bool Add(const cString& pEntry);
    // The entry of pId, or nullptr when the table has none.
    const cString* Find(const std::string& pId) const;
    size_t Count() const { return m_Entries.size(); }
    void Clear() { m_Entries.clear(); }

private:
    std::map<std::string, cString> m_Entries; // folded id -> entry
};

// The program-wide table and the id of the loaded language ("00000409").
extern cTranslation Translation;
extern std::string gLanguageId;

// The system's default language as 8 upper-case hexadecimal digits
// ("00000409"); "" when it cannot be told.
std::string LanguageId(ISystemInfo& pSystem);

// Chooses the language file for the system language, falling back to the
// primary language and then to English, and fills Translation from it.
void LoadLanguage(ISystemInfo& pSystem, const std::string& pProgramFolder);

// A picture of the program folder in the loaded language: the file of the
// same name in the sub-folder named by the language id ("/zovid.gif" ->
// "<program>/00000407/zovid.gif") when there is one, else the program
// folder's own, English one.
std::string TranslatedPicture(const std::string& pRelative);

// Fills pTable from the file's text (Windows-1252 bytes).
void ParseLanguageText(const std::string& pBytes, cTranslation& pTable);

// The text of an id, or nothing when the table has no such id. Callers skip
// the statement that needed the text when there is none, so a caption keeps
// its designed text and a message box without a text or title is not shown.
std::optional<std::string> Tr(const std::string& pId);

} // namespace brisa
