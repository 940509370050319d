#include "relay/post_reader.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cctype>

namespace brisa {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kMaxPartHeadLines = 16;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerText(std::string_view pText) {
    std::string lower(pText);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    return lower;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlankTab(std::string_view pText) {
    while (!pText.empty() && IsBlank(pText.front()))
        pText.remove_prefix(1);
    while (!pText.empty() && IsBlank(pText.back()))
        pText.remove_suffix(1);
    return pText;
}

// A short, printable quotation of untrusted text for a reason.
std::string Quote(std::string_view pText) {
    std::string shown;
    for (char c : pText.substr(0, 60)) {
        const auto u = static_cast<unsigned char>(c);
        shown += (u < 0x20 || u >= 0x7F) ? '?' : c;
    }
    if (pText.size() > 60)
        shown += "...";
    return "'" + shown + "'";
}

// ---- parameters of a header value: "type; a=b; c=\"d\"" ---------------------

struct Parameter {
    std::string name, value;
};

// Splits pText on any of pSeparators outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view pText,
                                                 std::string_view pSeparators) {
    std::vector<std::string_view> pieces;
    bool quoted = false, escaped = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pText.size(); ++i) {
        const char c = pText[i];
        if (escaped) {
            escaped = false;
        } else if (quoted && c == '\\') {
            escaped = true;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && pSeparators.find(c) != std::string_view::npos) {
            pieces.push_back(pText.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.push_back(pText.substr(start));
    return pieces;
}

// A quoted string without its quotes and escapes; false when it is not one.
bool Unquote(std::string_view pText, std::string& pValue) {
    if (pText.size() < 2 || pText.front() != '"' || pText.back() != '"')
        return false;
    pValue.clear();
    for (std::size_t i = 1; i + 1 < pText.size(); ++i) {
        char c = pText[i];
        if (c == '\\') {
            if (i + 2 >= pText.size())
                return false;
            c = pText[++i];
        } else if (c == '"') {
            return false;
        }
        pValue += c;
    }
    return true;
}

// The value before the first ';' and the parameters after it. False for a
// malformed parameter or one named twice.
bool ParseParameters(std::string_view pText, std::string& pValue,
                     std::vector<Parameter>& pParameters) {
    const auto pieces = SplitOutsideQuotes(pText, ";");
    pValue = LowerText(TrimBlankTab(pieces.front()));
    pParameters.clear();
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::string_view piece = TrimBlankTab(pieces[i]);
        if (piece.empty() && i + 1 == pieces.size())
            continue; // a trailing ';'
        const auto equals = piece.find('=');
        if (equals == std::string_view::npos || equals == 0)
            return false;
        Parameter parameter;
        parameter.name = LowerText(TrimBlankTab(piece.substr(0, equals)));
        const std::string_view raw = TrimBlankTab(piece.substr(equals + 1));
        if (!raw.empty() && raw.front() == '"') {
            if (!Unquote(raw, parameter.value))
                return false;
        } else {
            if (raw.find_first_of("\" \t") != std::string_view::npos)
                return false;
            parameter.value = std::string(raw);
        }
        for (const auto& other : pParameters)
            if (other.name == parameter.name)
                return false;
        pParameters.push_back(std::move(parameter));
    }
    return true;
}

const Parameter* FindParameter(const std::vector<Parameter>& pParameters, std::string_view pName) {
    for (const auto& parameter : pParameters)
        if (parameter.name == pName)
            return &parameter;
    return nullptr;
}

bool ValidBoundary(std::string_view pBoundary) {
    if (pBoundary.empty() || pBoundary.size() > 70 || pBoundary.back() == ' ')
        return false;
    for (char c : pBoundary) {
        const bool ok = std::isalnum(static_cast<unsigned char>(c)) ||
                        std::string_view("'()+_,-./:=? ").find(c) != std::string_view::npos;
        if (!ok)
            return false;
    }
    return true;
}

// ---- the two parts ----------------------------------------------------------------

struct PartHead {
    std::string name, filename, contentType;
};

// True when no line of pText is longer than kMaxPostLine (CR and LF end lines).
bool LinesFit(std::string_view pText, std::size_t& pLongest) {
    std::size_t run = 0;
    pLongest = 0;
    for (char c : pText) {
        if (c == '\r' || c == '\n') {
            run = 0;
            continue;
        }
        pLongest = std::max(pLongest, ++run);
    }
    return pLongest <= kMaxPostLine;
}

// Reads the head of a part starting at pPos up to and including its empty
// line; pPos ends at the part's content.
bool ReadPartHead(std::string_view pBody, std::size_t& pPos, const char* pWhich, PartHead& pHead,
                  std::string& pProblem) {
    const std::string which = pWhich;
    bool haveDisposition = false, haveType = false;
    for (std::size_t count = 0;; ++count) {
        const auto end = pBody.find(kCrLf, pPos);
        if (end == std::string_view::npos) {
            pProblem = "the head of the " + which + " part does not end with an empty line";
            return false;
        }
        const std::string_view line = pBody.substr(pPos, end - pPos);
        std::size_t longest = 0;
        if (!LinesFit(line, longest)) {
            pProblem = "a line in the head of the " + which + " part is longer than " +
                       std::to_string(kMaxPostLine) + " characters";
            return false;
        }
        pPos = end + 2;
        if (line.empty())
            break;
        if (count >= kMaxPartHeadLines) {
            pProblem = "the head of the " + which + " part has too many lines";
            return false;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            pProblem = "a line in the head of the " + which + " part is not of the form " +
                       "'Name: value': " + Quote(line);
            return false;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = TrimBlankTab(line.substr(colon + 1));
        std::string main;
        std::vector<Parameter> parameters;
        if (SameText(name, "Content-Disposition")) {
            if (haveDisposition) {
                pProblem = "the " + which + " part has two Content-Disposition lines";
                return false;
            }
            haveDisposition = true;
            if (!ParseParameters(value, main, parameters) || main != "form-data") {
                pProblem = "the Content-Disposition of the " + which +
                           " part is not 'form-data' with its name and filename: " + Quote(value);
                return false;
            }
            const Parameter* partName = FindParameter(parameters, "name");
            const Parameter* fileName = FindParameter(parameters, "filename");
            if (!partName) {
                pProblem = "the Content-Disposition of the " + which + " part has no name";
                return false;
            }
            pHead.name = partName->value;
            pHead.filename = fileName ? fileName->value : std::string();
        } else if (SameText(name, "Content-Type")) {
            if (haveType) {
                pProblem = "the " + which + " part has two Content-Type lines";
                return false;
            }
            haveType = true;
            if (!ParseParameters(value, main, parameters)) {
                pProblem = "the Content-Type of the " + which + " part is malformed: " +
                           Quote(value);
                return false;
            }
            pHead.contentType = main;
        } else {
            pProblem = "unexpected line in the head of the " + which + " part: " + Quote(line);
            return false;
        }
    }
    if (!haveDisposition) {
        pProblem = "the " + which + " part has no Content-Disposition";
        return false;
    }
    if (!haveType) {
        pProblem = "the " + which + " part has no Content-Type";
        return false;
    }
    return true;
}

// ---- the mail-like header lines ----------------------------------------------------

bool ReadHeaderPart(std::string_view pContent, ReceivedPost& pPost, std::string& pProblem) {
    bool haveTo = false, haveFrom = false, haveSubject = false, haveDate = false, haveCc = false;
    std::string to, cc, from;
    std::size_t pos = 0, count = 0;
    for (;;) {
        const auto end = pContent.find(kCrLf, pos);
        if (end == std::string_view::npos) {
            pProblem = "the header part has no empty line between its header lines and the note";
            return false;
        }
        const std::string_view line = pContent.substr(pos, end - pos);
        pos = end + 2;
        if (line.empty())
            break;
        if (line.size() > kMaxPostRow) {
            pProblem = "a header line is " + std::to_string(line.size()) +
                       " characters long; at most " + std::to_string(kMaxPostRow) +
                       " are allowed";
            return false;
        }
        if (++count > kMaxPostHeaderLines) {
            pProblem = "the header part has more than " + std::to_string(kMaxPostHeaderLines) +
                       " header lines";
            return false;
        }
        for (char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\t') || u == 0x7F) {
                pProblem = "a header line holds a control character: " + Quote(line);
                return false;
            }
        }
        const auto colon = line.find(':');
        bool nameOk = colon != std::string_view::npos && colon > 0;
        for (std::size_t i = 0; nameOk && i < colon; ++i) {
            const auto u = static_cast<unsigned char>(line[i]);
            nameOk = u > 0x20 && u < 0x7F;
        }
        if (!nameOk) {
            pProblem = "a header line is not of the form 'Name: value': " + Quote(line);
            return false;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string value = Cp1252ToUtf8(TrimBlankTab(line.substr(colon + 1)));
        auto once = [&](bool& pSeen) {
            if (pSeen) {
                pProblem = "the header part has two " + std::string(name) + " lines";
                return false;
            }
            pSeen = true;
            return true;
        };
        if (SameText(name, "To")) {
            if (!once(haveTo))
                return false;
            to = value;
        } else if (SameText(name, "From")) {
            if (!once(haveFrom))
                return false;
            from = value;
        } else if (SameText(name, "Subject")) {
            if (!once(haveSubject))
                return false;
            pPost.subject = value;
        } else if (SameText(name, "Date")) {
            if (!once(haveDate))
                return false;
            pPost.date = value;
        } else if (SameText(name, "Cc")) {
            if (!once(haveCc))
                return false;
            cc = value;
        } else if (name.size() > 2 && SameText(name.substr(0, 2), "X-")) {
            if (SameText(name, "X-Return-Receipt") && SameText(TrimBlankTab(value), "Yes"))
                pPost.returnReceipt = true;
            pPost.extra.push_back({std::string(name), value});
        } else {
            pProblem = "unexpected header line " + Quote(name) +
                       " (only To, From, Subject, Date, Cc and X- lines are taken)";
            return false;
        }
    }
    if (!haveTo) {
        pProblem = "the header part has no To line";
        return false;
    }
    if (!haveFrom) {
        pProblem = "the header part has no From line";
        return false;
    }
    if (!haveSubject) {
        pProblem = "the header part has no Subject line";
        return false;
    }
    if (!haveDate) {
        pProblem = "the header part has no Date line";
        return false;
    }

    std::string problem;
    if (!ParseAddressList(to, pPost.to, problem)) {
        pProblem = "the To line: " + problem;
        return false;
    }
    if (pPost.to.empty()) {
        pProblem = "the To line names no recipient";
        return false;
    }
    if (!ParseAddressList(cc, pPost.cc, problem)) {
        pProblem = "the Cc line: " + problem;
        return false;
    }
    const std::size_t recipients = pPost.to.size() + pPost.cc.size();
    if (recipients > kMaxPostRecipients) {
        pProblem = "the post names " + std::to_string(recipients) + " recipients; at most " +
                   std::to_string(kMaxPostRecipients) + " are taken";
        return false;
    }
    if (TrimBlankTab(from).empty()) {
        pProblem = "the From line is empty";
        return false;
    }
    if (!ParseMailAddress(from, pPost.from, problem)) {
        pProblem = "the From line: " + problem;
        return false;
    }

    // The note: everything after the empty line, which ends with CR LF.
    std::string_view note = pContent.substr(pos);
    if (note.size() < 2 || note.substr(note.size() - 2) != kCrLf) {
        pProblem = "the note text of the header part does not end with CR LF";
        return false;
    }
    note.remove_suffix(2);
    const std::string text = Cp1252ToUtf8(note);
    pPost.note.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            pPost.note += kCrLf;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            pPost.note += c;
        }
    }
    return true;
}

// ---- addresses -----------------------------------------------------------------

bool ValidAddress(std::string_view pAddress, std::string& pProblem) {
    const std::string shown = Quote(pAddress);
    if (pAddress.empty()) {
        pProblem = "an empty address";
        return false;
    }
    const auto at = pAddress.find('@');
    if (at == std::string_view::npos) {
        pProblem = shown + " is not an e-mail address (no '@')";
        return false;
    }
    if (pAddress.find('.', at) == std::string_view::npos) {
        pProblem = shown + " is not an e-mail address (no '.' after the '@')";
        return false;
    }
    if (pAddress.size() > 254 || at == 0 || at > 64 || pAddress.find('@', at + 1) != std::string_view::npos) {
        pProblem = shown + " is not an e-mail address";
        return false;
    }
    for (char c : pAddress) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || std::string_view("()<>[]\\,;:\"").find(c) != std::string_view::npos) {
            pProblem = shown + " holds a character that is not allowed in an e-mail address";
            return false;
        }
    }
    const std::string_view domain = pAddress.substr(at + 1);
    if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != std::string_view::npos) {
        pProblem = shown + " has no valid domain after the '@'";
        return false;
    }
    for (char c : domain) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') {
            pProblem = shown + " has no valid domain after the '@'";
            return false;
        }
    }
    return true;
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// ---- public --------------------------------------------------------------------

std::string BoundaryOf(std::string_view pContentType) {
    std::string main;
    std::vector<Parameter> parameters;
    if (!ParseParameters(pContentType, main, parameters))
        return {};
    const Parameter* boundary = FindParameter(parameters, "boundary");
    if (!boundary || !ValidBoundary(boundary->value))
        return {};
    return boundary->value;
}

bool CheckPostHead(std::string_view pContentType, const std::vector<std::string>& pContentLengths,
                   std::string_view pTransferEncoding, std::string_view pContentEncoding,
                   std::string& pBoundary, std::uint64_t& pLength, std::string& pProblem) {
    std::string main;
    std::vector<Parameter> parameters;
    if (!ParseParameters(pContentType, main, parameters) || main != "multipart/form-data") {
        pProblem = "the Content-Type must be multipart/form-data with a boundary, not " +
                   Quote(pContentType);
        return false;
    }
    pBoundary = BoundaryOf(pContentType);
    if (pBoundary.empty()) {
        pProblem = "the Content-Type names no valid boundary";
        return false;
    }
    if (!TrimBlankTab(pTransferEncoding).empty()) {
        pProblem = "a Transfer-Encoding is not accepted; send the body with a Content-Length";
        return false;
    }
    const std::string_view encoding = TrimBlankTab(pContentEncoding);
    if (!encoding.empty() && !SameText(encoding, "identity")) {
        pProblem = "the Content-Encoding " + Quote(encoding) + " is not accepted";
        return false;
    }
    if (pContentLengths.empty()) {
        pProblem = "the request has no Content-Length";
        return false;
    }
    if (pContentLengths.size() > 1) {
        pProblem = "the request has more than one Content-Length";
        return false;
    }
    const std::string_view text = TrimBlankTab(pContentLengths.front());
    if (text.empty() || text.size() > 19 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        pProblem = "the Content-Length is not a number: " + Quote(text);
        return false;
    }
    pLength = std::stoull(std::string(text));
    if (pLength > kMaxPostBytes) {
        pProblem = "the body is " + std::to_string(pLength) + " bytes long; at most " +
                   std::to_string(kMaxPostBytes) + " (64 MB) are taken";
        return false;
    }
    if (pLength == 0) {
        pProblem = "the body is empty";
        return false;
    }
    return true;
}

bool ReadPostBody(std::string_view pBody, std::string_view pBoundary, ReceivedPost& pPost,
                  std::string& pProblem) {
    pPost = ReceivedPost();
    if (pBody.empty()) {
        pProblem = "the body is empty";
        return false;
    }
    const std::string delimiter = "--" + std::string(pBoundary);
    const std::string separator = std::string(kCrLf) + delimiter;
    if (pBody.substr(0, delimiter.size() + 2) != delimiter + std::string(kCrLf)) {
        pProblem = "the body does not begin with the boundary line " + Quote(delimiter);
        return false;
    }

    // The end: CR LF, the closing delimiter, an optional CR LF, nothing else.
    std::size_t closing = std::string_view::npos;
    const std::string close = separator + "--";
    if (pBody.size() >= close.size() + 2 &&
        pBody.substr(pBody.size() - close.size() - 2) == close + std::string(kCrLf))
        closing = pBody.size() - close.size() - 2;
    else if (pBody.size() >= close.size() && pBody.substr(pBody.size() - close.size()) == close)
        closing = pBody.size() - close.size();
    if (closing == std::string_view::npos) {
        pProblem = "the body does not end with the closing boundary line " +
                   Quote(delimiter + "--");
        return false;
    }

    std::size_t pos = delimiter.size() + 2;
    PartHead first;
    if (!ReadPartHead(pBody, pos, "first", first, pProblem))
        return false;
    if (first.name == "body") {
        pProblem = "the parts are in the wrong order: the header part must come first";
        return false;
    }
    if (first.name != "header" || first.filename != "header.txt") {
        pProblem = "the first part must be name=\"header\" with filename=\"header.txt\", not " +
                   Quote(first.name) + " / " + Quote(first.filename);
        return false;
    }
    if (first.contentType != "text/plain") {
        pProblem = "the header part must be text/plain, not " + Quote(first.contentType);
        return false;
    }
    const auto firstEnd = pBody.find(separator, pos);
    if (firstEnd == std::string_view::npos || firstEnd >= closing) {
        pProblem = "the body has only one part; the archive part is missing";
        return false;
    }
    const std::string_view headerContent = pBody.substr(pos, firstEnd - pos);
    pos = firstEnd + separator.size();
    if (pBody.substr(pos, 2) != kCrLf) {
        pProblem = "the boundary line after the header part is malformed";
        return false;
    }
    pos += 2;

    PartHead second;
    if (!ReadPartHead(pBody, pos, "second", second, pProblem))
        return false;
    if (second.name == "header") {
        pProblem = "the parts are in the wrong order: the archive part must come second";
        return false;
    }
    if (second.name != "body" || second.filename.empty()) {
        pProblem = "the second part must be name=\"body\" with the archive's filename, not " +
                   Quote(second.name) + " / " + Quote(second.filename);
        return false;
    }
    static const char* const kZipTypes[] = {"application/x-zip-compressed", "application/zip",
                                            "application/x-zip", "application/octet-stream"};
    if (std::none_of(std::begin(kZipTypes), std::end(kZipTypes),
                     [&](const char* t) { return second.contentType == t; })) {
        pProblem = "the archive part must be application/x-zip-compressed, not " +
                   Quote(second.contentType);
        return false;
    }
    if (pos > closing) {
        pProblem = "the archive part is cut short";
        return false;
    }
    const std::string_view archivePart = pBody.substr(pos, closing - pos);
    if (archivePart.find(separator) != std::string_view::npos) {
        pProblem = "the body has more than two parts";
        return false;
    }
    // The archive's own CR LF, then the one of the closing delimiter.
    if (archivePart.size() < 2 || archivePart.substr(archivePart.size() - 2) != kCrLf) {
        pProblem = "the archive is not followed by the two CR LF pairs before the closing "
                   "boundary line";
        return false;
    }

    if (!ReadHeaderPart(headerContent, pPost, pProblem))
        return false;
    pPost.archiveName = Cp1252ToUtf8(second.filename);
    pPost.archive = std::string(archivePart.substr(0, archivePart.size() - 2));
    return true;
}

bool ParseMailAddress(std::string_view pText, MailAddress& pAddress, std::string& pProblem) {
    pAddress = MailAddress();
    const std::string_view text = TrimBlankTab(pText);
    const auto open = text.rfind('<');
    if (open == std::string_view::npos) {
        if (text.find('>') != std::string_view::npos) {
            pProblem = Quote(text) + " is not an e-mail address";
            return false;
        }
        pAddress.address = std::string(text);
        return ValidAddress(pAddress.address, pProblem);
    }
    if (text.back() != '>') {
        pProblem = Quote(text) + " does not end with '>'";
        return false;
    }
    pAddress.address = std::string(text.substr(open + 1, text.size() - open - 2));
    if (!ValidAddress(pAddress.address, pProblem))
        return false;
    const std::string_view name = TrimBlankTab(text.substr(0, open));
    // The client puts the user's name between quotes as it stands, so a
    // name with quotes or a backslash of its own is taken between the outer
    // quotes; the e-mail quotes it again properly.
    if (!name.empty() && name.front() == '"') {
        if (name.size() < 2 || name.back() != '"') {
            pProblem = "the name in " + Quote(text) + " is not properly quoted";
            return false;
        }
        if (!Unquote(name, pAddress.name))
            pAddress.name = std::string(name.substr(1, name.size() - 2));
    } else {
        pAddress.name = std::string(name);
    }
    return true;
}

bool ParseAddressList(std::string_view pText, std::vector<MailAddress>& pList,
                      std::string& pProblem) {
    pList.clear();
    for (std::string_view entry : SplitOutsideQuotes(pText, ",;")) {
        entry = TrimBlankTab(entry);
        if (entry.empty())
            continue;
        MailAddress address;
        if (!ParseMailAddress(entry, address, pProblem))
            return false;
        pList.push_back(std::move(address));
        if (pList.size() > kMaxPostRecipients) {
            pProblem = "more than " + std::to_string(kMaxPostRecipients) + " recipients";
            return false;
        }
    }
    return true;
}

} // namespace brisa
