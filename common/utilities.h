// Shared helpers used by every subsystem.
//
// Text is UTF-8. Comparisons ignore letter case (ASCII letters and the
// Latin-1 letters of Windows-1252 texts converted to UTF-8); positions are
// 1-based byte positions, 0 meaning "not found".
#pragma once

#include <string>
#include <string_view>

namespace brisa {

// The part of pText before the first occurrence of pDelimiter ("," when the
// delimiter is empty). Without an occurrence the whole text is returned and
// the rest is empty. With pConsume the caller's text is replaced by the rest.
std::string NextToken(std::string& pText, std::string_view pDelimiter, bool pConsume);

// True when a regular file (or any entry that is not a folder) exists at
// pPath. A name part holding '*' or '?' is matched as a pattern against the
// entries of its folder. Any error counts as false.
bool FileExists(const std::string& pPath);

// True when pPath names an existing folder.
bool FolderExists(const std::string& pPath);

// The folder part of pPath: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& pPath);

// Lets pending window events run until pSeconds have passed.
void WaitSeconds(double pSeconds);

// True when the PlaySounds setting equals "1".
bool SoundsEnabled();

// Replaces occurrences of pFind from left to right. After each replacement the
// search resumes one character after the position where the match began.
std::string ReplaceText(const std::string& pText, std::string_view pFind,
                        std::string_view pReplacement);

// The last 1-based position of pPart in pText, or 0.
int LastIndexOf(std::string_view pText, std::string_view pPart);

// The first 1-based position of pPart in pText at or after pStart, or 0.
int IndexOf(std::string_view pText, std::string_view pPart, int pStart = 1);

// Case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when pText begins with pPrefix, ignoring case.
bool StartsWithNoCase(std::string_view pText, std::string_view pPrefix);

// Removes leading and trailing blanks (space characters only).
std::string TrimBlanks(std::string_view pText);

// Removes leading and trailing white space (blanks, tabs, CR, LF).
std::string TrimSpace(std::string_view pText);

// Control characters: U+0000 to U+001F (line ends and tabs among them),
// U+007F and U+0080 to U+009F. The length in bytes of the control character
// that begins at pAt (1 or 2), or 0 when none begins there.
size_t ControlCharacterAt(std::string_view pText, size_t pAt);

// True when pText holds a control character.
bool HoldsControlCharacter(std::string_view pText);

// pText with each control character replaced by pWith (one blank unless
// told otherwise).
std::string ReplaceControlCharacters(std::string_view pText, std::string_view pWith = " ");

} // namespace brisa
