// A reader of vCard files (versions 2.1, 3.0 and 4.0) that takes from each
// card only what the contact import needs: the display name and the
// preferred e-mail address.
//
// The reader is streaming and forgiving. A file may hold any number of
// cards; lines end at CR LF, LF or CR; folded lines are joined (a line that
// begins with a blank or a tab continues the one before it) as are
// quoted-printable soft line breaks; a card without END:VCARD ends at the
// next BEGIN:VCARD or at the end of the input; lines outside cards, lines
// without a colon and overlong lines are skipped. Memory stays bounded by
// kMaxVCardLine whatever the input, and the work is linear in its size.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

// One card as the import sees it. Both texts are valid UTF-8 without
// control characters; either may be empty.
struct cVCard {
    // FN, or when FN is missing or empty "Given Family" from N.
    std::string Name;
    // The most preferred EMAIL (PREF=1, TYPE=pref or a bare PREF; a lower
    // PREF number wins over a higher one, any preference over none), else
    // the first non-empty one.
    std::string Email;
};

// Longest logical line (after unfolding) the reader looks at; a longer one
// (an inline photo, say) is skipped as a whole.
inline constexpr std::size_t kMaxVCardLine = 64u << 10;

class cVCardParser {
public:
    using Sink = std::function<void(cVCard&&)>;
    explicit cVCardParser(Sink pSink);
    ~cVCardParser();
    cVCardParser(const cVCardParser&) = delete;
    cVCardParser& operator=(const cVCardParser&) = delete;

    // Takes the next bytes of the input; complete cards go to the sink.
    void Feed(std::string_view pBytes);
    // Ends the input: the last line is taken and an unterminated card is
    // handed over. The parser is then ready for a new input.
    void Finish();

private:
    struct State;
    std::unique_ptr<State> m_State;
};

// Bytes as the import shows them: valid UTF-8 (bytes that are not UTF-8 are
// taken as Windows-1252), control characters as blanks, the ends trimmed of
// blanks.
std::string CleanContactText(std::string_view pBytes);

// All cards of a whole input.
std::vector<cVCard> ParseVCards(std::string_view pBytes);

// Streams the file at pPath through a parser; false when it cannot be
// opened (cards read before a read error are still handed over).
bool ReadVCardFile(const std::string& pPath, const cVCardParser::Sink& pSink);

} // namespace brisa
