#include "platform/vcard.h"

#include "platform/codepage.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace brisa {

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanksView(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Leading blanks and a UTF-8 byte-order mark before a property name.
std::string_view TrimNameStart(std::string_view s) {
    for (;;) {
        if (!s.empty() && IsBlank(s.front()))
            s.remove_prefix(1);
        else if (s.substr(0, 3) == "\xEF\xBB\xBF")
            s.remove_prefix(3);
        else
            return s;
    }
}

std::string_view Unquote(std::string_view s) {
    s = TrimBlanksView(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    if (!s.empty() && s.front() == '"')
        return s.substr(1);
    return s;
}

// True when pLine (blanks and a byte-order mark aside) begins with
// BEGIN:VCARD or END:VCARD.
bool IsCardBoundary(std::string_view pLine) {
    if (pLine.size() < 9)
        return false;
    pLine = TrimNameStart(pLine);
    auto starts = [&](std::string_view p) {
        return pLine.size() >= p.size() && SameNoCase(pLine.substr(0, p.size()), p);
    };
    return starts("BEGIN:VCARD") || starts("END:VCARD");
}

// ---- value decoding --------------------------------------------------------------

enum class Encoding { None, QuotedPrintable, Base64 };

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out += s[i];
            continue;
        }
        if (i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else if (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n')) {
            // A soft line break left inside the value.
            ++i;
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else if (i + 1 == s.size()) {
            // A trailing soft break: nothing follows.
        } else {
            out += '=';
        }
    }
    return out;
}

std::string DecodeBase64(std::string_view s) {
    std::string out;
    out.reserve(s.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int count = 0;
    for (char c : s) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '-')
            v = 62;
        else if (c == '/' || c == '_')
            v = 63;
        else if (c == '=')
            break;
        else
            continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3, cp = c & 0x07;
        else
            return false;
        if (i + static_cast<std::size_t>(extra) >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool IsWesternCharset(std::string_view pCharset) {
    for (std::string_view name : {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "LATIN1", "LATIN-1",
                                  "L1", "WINDOWS-1252", "CP1252", "X-CP1252", "IBM819", "CP819"})
        if (SameNoCase(pCharset, name))
            return true;
    return false;
}

// A raw property value with what is needed to decode it later, when the
// card's version is known.
struct RawValue {
    std::string text;
    Encoding encoding = Encoding::None;
    std::string charset;
};

// Bytes of the value after its transfer encoding, as UTF-8: a Western
// charset is converted; UTF-8 (the default) stays; bytes that are not valid
// UTF-8 are taken as Windows-1252 so no text is lost.
std::string ToUtf8(const RawValue& pValue) {
    std::string bytes;
    switch (pValue.encoding) {
    case Encoding::QuotedPrintable:
        bytes = DecodeQuotedPrintable(pValue.text);
        break;
    case Encoding::Base64:
        bytes = DecodeBase64(pValue.text);
        break;
    case Encoding::None:
        bytes = pValue.text;
        break;
    }
    if (IsWesternCharset(pValue.charset) || !IsValidUtf8(bytes))
        return Cp1252ToUtf8(bytes);
    return bytes;
}

// Undoes the backslash escapes of 3.0 and 4.0 (\, \; \n \N \\; any other
// escaped character stands for itself). With pCommaSpace an unescaped comma
// (a list separator inside a structured value) becomes a blank.
std::string Unescape(std::string_view s, bool pCommaSpace) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            const char next = s[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else if (c == ',' && pCommaSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

// The components of a structured value, split at semicolons that are not
// escaped; the escapes stay for Unescape.
std::vector<std::string_view> SplitComponents(std::string_view s) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == ';') {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// Control characters become blanks; the ends are trimmed of white space.
std::string Clean(std::string s) {
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = ' ';
    }
    const std::string_view trimmed = TrimBlanksView(s);
    return std::string(trimmed);
}

// ---- properties -------------------------------------------------------------------

struct Parameters {
    Encoding encoding = Encoding::None;
    std::string charset;
    int rank = INT_MAX; // preference: lower is more preferred
};

void NoteType(std::string_view pType, Parameters& pParams) {
    pType = Unquote(pType);
    if (SameNoCase(pType, "PREF"))
        pParams.rank = std::min(pParams.rank, 1);
    else if (SameNoCase(pType, "QUOTED-PRINTABLE"))
        pParams.encoding = Encoding::QuotedPrintable;
    else if (SameNoCase(pType, "BASE64"))
        pParams.encoding = Encoding::Base64;
}

void ParseParameter(std::string_view pParam, Parameters& pParams) {
    const std::size_t eq = pParam.find('=');
    if (eq == std::string_view::npos) {
        // 2.1 writes types and encodings bare: EMAIL;INTERNET;PREF.
        NoteType(pParam, pParams);
        return;
    }
    const std::string_view key = TrimBlanksView(pParam.substr(0, eq));
    const std::string_view value = Unquote(pParam.substr(eq + 1));
    if (SameNoCase(key, "ENCODING")) {
        if (SameNoCase(value, "QUOTED-PRINTABLE"))
            pParams.encoding = Encoding::QuotedPrintable;
        else if (SameNoCase(value, "B") || SameNoCase(value, "BASE64"))
            pParams.encoding = Encoding::Base64;
    } else if (SameNoCase(key, "CHARSET")) {
        pParams.charset = std::string(value);
    } else if (SameNoCase(key, "TYPE")) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = value.find(',', start);
            NoteType(value.substr(start, comma == std::string_view::npos ? comma : comma - start),
                     pParams);
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
    } else if (SameNoCase(key, "PREF")) {
        int number = 0;
        bool digits = !value.empty();
        for (char c : value) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            number = std::min(number * 10 + (c - '0'), 1000);
        }
        pParams.rank = std::min(pParams.rank, digits && number >= 1 ? number : 1);
    }
}

// Splits pNamePart (everything before the value's colon) at semicolons
// outside double quotes: the property name (without its group) and the
// parameters.
std::string_view ParseNamePart(std::string_view pNamePart, Parameters& pParams) {
    std::string_view name;
    bool quoted = false, first = true;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= pNamePart.size(); ++i) {
        if (i < pNamePart.size()) {
            if (pNamePart[i] == '"')
                quoted = !quoted;
            if (quoted || pNamePart[i] != ';')
                continue;
        }
        const std::string_view piece = pNamePart.substr(start, i - start);
        if (first) {
            name = TrimBlanksView(TrimNameStart(piece));
            const std::size_t dot = name.rfind('.');
            if (dot != std::string_view::npos)
                name.remove_prefix(dot + 1);
            first = false;
        } else if (!TrimBlanksView(piece).empty()) {
            ParseParameter(piece, pParams);
        }
        start = i + 1;
    }
    return name;
}

} // namespace

// ---- the parser -------------------------------------------------------------------

struct cVCardParser::State {
    explicit State(Sink pSink) : sink(std::move(pSink)) {}

    Sink sink;

    // The physical line being collected.
    std::string line;
    bool lineOverflow = false;
    bool skipLf = false; // the last line ended with CR; a following LF belongs to it

    // The logical line being assembled from physical lines.
    std::string logical;
    bool hasLogical = false;
    bool logicalOverflow = false;
    std::size_t colon = std::string::npos; // the value's colon in logical
    bool quoted = false;                   // inside a quoted parameter while looking for it
    bool quotedPrintable = false;          // the name part asks for quoted-printable
    bool softBreak = false;                // logical ends with a quoted-printable soft break

    // The card being read.
    bool inCard = false;
    int depth = 0;               // cards nested inside it (2.1 AGENT)
    bool lastEmptyAgent = false; // the line before was "AGENT:" with nothing after
    std::string version;
    bool hasFn = false, hasN = false, hasEmail = false;
    RawValue fn, n, email;
    int emailRank = INT_MAX;

    bool Version21() const { return version == "2.1"; }

    void Feed(std::string_view pBytes) {
        const char* const data = pBytes.data();
        const std::size_t size = pBytes.size();
        // The next CR and LF at or after i (size when there is none); each is
        // searched again only once passed, so the scan stays linear.
        auto next = [&](char c, std::size_t from) {
            const void* hit = from < size ? std::memchr(data + from, c, size - from) : nullptr;
            return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
        };
        std::size_t nextCr = next('\r', 0), nextLf = next('\n', 0);
        std::size_t i = 0;
        while (i < size) {
            if (skipLf) {
                skipLf = false;
                if (data[i] == '\n') {
                    ++i;
                    continue;
                }
            }
            if (nextCr < i)
                nextCr = next('\r', i);
            if (nextLf < i)
                nextLf = next('\n', i);
            const std::size_t end = std::min(nextCr, nextLf);
            if (end == size) {
                AppendPhysical(pBytes.substr(i));
                return;
            }
            AppendPhysical(pBytes.substr(i, end - i));
            skipLf = data[end] == '\r';
            EndPhysicalLine();
            i = end + 1;
        }
    }

    void Finish() {
        if (!line.empty() || lineOverflow)
            EndPhysicalLine();
        skipLf = false;
        if (hasLogical) {
            if (softBreak)
                logical.pop_back();
            FlushLogical();
        }
        if (inCard)
            EmitCard();
        // Ready for the next input.
        inCard = false;
        depth = 0;
        lastEmptyAgent = false;
    }

    void AppendPhysical(std::string_view pBytes) {
        if (lineOverflow)
            return;
        if (line.size() + pBytes.size() > kMaxVCardLine) {
            // Only the start is kept: it tells whether the line is folded.
            line.append(pBytes.substr(0, kMaxVCardLine - line.size()));
            lineOverflow = true;
            return;
        }
        line.append(pBytes);
    }

    void EndPhysicalLine() {
        OnPhysicalLine(line, lineOverflow);
        line.clear();
        lineOverflow = false;
    }

    void OnPhysicalLine(std::string_view pLine, bool pOverflow) {
        if (hasLogical) {
            if (softBreak) {
                logical.pop_back(); // the '=' of the soft break
                if (!IsCardBoundary(pLine)) {
                    AppendLogical(pLine, pOverflow);
                    return;
                }
                // A broken soft break right before the end of the card.
            } else if (!pLine.empty() && IsBlank(pLine.front())) {
                // A folded line: 2.1 keeps the blank, later versions drop it.
                AppendLogical(Version21() ? pLine : pLine.substr(1), pOverflow);
                return;
            }
            FlushLogical();
        }
        if (pLine.empty() && !pOverflow)
            return;
        hasLogical = true;
        logical.clear();
        logicalOverflow = false;
        colon = std::string::npos;
        quoted = false;
        quotedPrintable = false;
        softBreak = false;
        AppendLogical(pLine, pOverflow);
    }

    void AppendLogical(std::string_view pPart, bool pOverflow) {
        softBreak = false;
        if (logicalOverflow)
            return;
        if (pOverflow || logical.size() + pPart.size() > kMaxVCardLine) {
            logicalOverflow = true;
            logical.clear();
            logical.shrink_to_fit();
            return;
        }
        const std::size_t from = logical.size();
        logical.append(pPart);
        if (colon == std::string::npos) {
            // Look for the value's colon in the new part only.
            for (std::size_t i = from; i < logical.size(); ++i) {
                if (logical[i] == '"')
                    quoted = !quoted;
                else if (logical[i] == ':' && !quoted) {
                    colon = i;
                    quotedPrintable = HasQuotedPrintable(std::string_view(logical).substr(0, i));
                    break;
                }
            }
        }
        softBreak = quotedPrintable && colon != std::string::npos && logical.size() > colon + 1 &&
                    logical.back() == '=';
    }

    static bool HasQuotedPrintable(std::string_view pNamePart) {
        static constexpr std::string_view kWord = "QUOTED-PRINTABLE";
        if (pNamePart.size() < kWord.size())
            return false;
        for (std::size_t i = 0; i + kWord.size() <= pNamePart.size(); ++i)
            if (Upper(pNamePart[i]) == 'Q' && SameNoCase(pNamePart.substr(i, kWord.size()), kWord))
                return true;
        return false;
    }

    void FlushLogical() {
        if (!logicalOverflow && colon != std::string::npos)
            ProcessLine(logical, colon);
        else
            lastEmptyAgent = false;
        hasLogical = false;
        logical.clear();
        if (logical.capacity() > 4 * 1024)
            logical.shrink_to_fit();
        logicalOverflow = false;
        softBreak = false;
    }

    void ProcessLine(std::string_view pLine, std::size_t pColon) {
        Parameters params;
        const std::string_view name = ParseNamePart(pLine.substr(0, pColon), params);
        const std::string_view value = pLine.substr(pColon + 1);
        const bool emptyAgentBefore = lastEmptyAgent;
        lastEmptyAgent = false;

        if (SameNoCase(name, "BEGIN") && SameNoCase(TrimBlanksView(value), "VCARD")) {
            if (inCard && emptyAgentBefore) {
                ++depth; // a 2.1 agent's card inside this one
                return;
            }
            if (inCard)
                EmitCard(); // the card before lacked its END
            inCard = true;
            depth = 0;
            return;
        }
        if (SameNoCase(name, "END") && SameNoCase(TrimBlanksView(value), "VCARD")) {
            if (depth > 0)
                --depth;
            else if (inCard)
                EmitCard();
            return;
        }
        if (!inCard || depth > 0)
            return;

        if (SameNoCase(name, "VERSION")) {
            version = std::string(TrimBlanksView(value));
        } else if (SameNoCase(name, "FN")) {
            if (!hasFn && !TrimBlanksView(value).empty()) {
                hasFn = true;
                fn = {std::string(value), params.encoding, params.charset};
            }
        } else if (SameNoCase(name, "N")) {
            if (!hasN && value.find_first_not_of("; \t") != std::string_view::npos) {
                hasN = true;
                n = {std::string(value), params.encoding, params.charset};
            }
        } else if (SameNoCase(name, "EMAIL")) {
            if (!TrimBlanksView(value).empty() && (!hasEmail || params.rank < emailRank)) {
                hasEmail = true;
                emailRank = params.rank;
                email = {std::string(value), params.encoding, params.charset};
            }
        } else if (SameNoCase(name, "AGENT")) {
            lastEmptyAgent = TrimBlanksView(value).empty();
        }
    }

    std::string DecodeText(const RawValue& pValue) const {
        const std::string text = ToUtf8(pValue);
        return Clean(Version21() ? text : Unescape(text, false));
    }

    std::string NameFromN() const {
        const std::string text = ToUtf8(n);
        const std::vector<std::string_view> parts = SplitComponents(text);
        auto component = [&](std::size_t pIndex) {
            if (pIndex >= parts.size())
                return std::string();
            if (Version21()) {
                // 2.1 escapes only the semicolon.
                std::string s;
                for (std::size_t i = 0; i < parts[pIndex].size(); ++i) {
                    if (parts[pIndex][i] == '\\' && i + 1 < parts[pIndex].size() &&
                        parts[pIndex][i + 1] == ';')
                        ++i;
                    s += parts[pIndex][i];
                }
                return Clean(std::move(s));
            }
            return Clean(Unescape(parts[pIndex], true));
        };
        const std::string family = component(0), given = component(1);
        if (given.empty())
            return family;
        if (family.empty())
            return given;
        return given + " " + family;
    }

    void EmitCard() {
        cVCard card;
        if (hasFn)
            card.Name = DecodeText(fn);
        if (card.Name.empty() && hasN)
            card.Name = NameFromN();
        if (hasEmail) {
            card.Email = DecodeText(email);
            if (card.Email.size() >= 7 &&
                SameNoCase(std::string_view(card.Email).substr(0, 7), "mailto:"))
                card.Email = Clean(card.Email.substr(7));
        }
        inCard = false;
        depth = 0;
        lastEmptyAgent = false;
        version.clear();
        hasFn = hasN = hasEmail = false;
        fn = n = email = RawValue{};
        emailRank = INT_MAX;
        if (sink)
            sink(std::move(card));
    }
};

cVCardParser::cVCardParser(Sink pSink) : m_State(std::make_unique<State>(std::move(pSink))) {}

cVCardParser::~cVCardParser() = default;

void cVCardParser::Feed(std::string_view pBytes) {
    m_State->Feed(pBytes);
}

void cVCardParser::Finish() {
    m_State->Finish();
}

std::string CleanContactText(std::string_view pBytes) {
    return Clean(IsValidUtf8(pBytes) ? std::string(pBytes) : Cp1252ToUtf8(pBytes));
}

std::vector<cVCard> ParseVCards(std::string_view pBytes) {
    std::vector<cVCard> cards;
    cVCardParser parser([&](cVCard&& pCard) { cards.push_back(std::move(pCard)); });
    parser.Feed(pBytes);
    parser.Finish();
    return cards;
}

bool ReadVCardFile(const std::string& pPath, const cVCardParser::Sink& pSink) {
    std::ifstream in(pPath, std::ios::binary);
    if (!in)
        return false;
    cVCardParser parser(pSink);
    std::string buffer(64u << 10, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        parser.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    parser.Finish();
    return true;
}

} // namespace brisa
