#include "common/utilities.h"

#include "settings/registry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

// Folds ASCII letters and the two-byte UTF-8 forms of the Latin-1 letters
// (U+00C0..U+00DE except U+00D7) to lower case, so texts read from
// Windows-1252 files compare as they did there.
struct Folded {
    std::string text;
};

Folded Fold(std::string_view s) {
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            unsigned char d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return {out};
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Fold(a).text == Fold(b).text;
}

bool StartsWithNoCase(std::string_view pText, std::string_view pPrefix) {
    return pText.size() >= pPrefix.size() && EqualsNoCase(pText.substr(0, pPrefix.size()), pPrefix);
}

int IndexOf(std::string_view pText, std::string_view pPart, int pStart) {
    if (pStart < 1) pStart = 1;
    if (pPart.empty()) return pStart <= static_cast<int>(pText.size()) + 1 ? pStart : 0;
    if (pPart.size() > pText.size()) return 0;
    const std::string text = Fold(pText).text;
    const std::string part = Fold(pPart).text;
    auto pos = text.find(part, static_cast<size_t>(pStart - 1));
    return pos == std::string::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string NextToken(std::string& pText, std::string_view pDelimiter, bool pConsume) {
    std::string_view delimiter = pDelimiter.empty() ? std::string_view(",") : pDelimiter;
    std::string result;
    std::string rest;
    const int at = (pText.empty() || pText.size() < delimiter.size()) ? 0 : IndexOf(pText, delimiter);
    if (at == 0) {
        result = pText;
    } else {
        result = pText.substr(0, static_cast<size_t>(at - 1));
        rest = pText.substr(static_cast<size_t>(at - 1) + delimiter.size());
    }
    if (pConsume) pText = rest;
    return result;
}

int LastIndexOf(std::string_view pText, std::string_view pPart) {
    if (pPart.size() > pText.size()) return 0;
    const std::string text = Fold(pText).text;
    const std::string part = Fold(pPart).text;
    for (size_t pos = text.size() - part.size() + 1; pos >= 1; --pos) {
        if (text.compare(pos - 1, part.size(), part) == 0) return static_cast<int>(pos);
    }
    return 0;
}

std::string ReplaceText(const std::string& pText, std::string_view pFind,
                        std::string_view pReplacement) {
    std::string text = pText;
    if (pFind.empty()) return text;
    // The search resumes one character after the start of each match. A match
    // lying wholly inside the replacement just put in would be replaced over
    // and over without end (the replacement holds the searched text); such
    // occurrences are stepped over and left as they are.
    bool inserted = false;
    size_t insertedBegin = 0, insertedEnd = 0;
    int position = 1;
    while (position <= static_cast<int>(text.size())) {
        const int at = IndexOf(text, pFind, position);
        if (at == 0) break;
        const size_t begin = static_cast<size_t>(at - 1);
        position = at + 1;
        if (inserted && begin >= insertedBegin && begin + pFind.size() <= insertedEnd) continue;
        text.replace(begin, pFind.size(), pReplacement);
        inserted = true;
        insertedBegin = begin;
        insertedEnd = begin + pReplacement.size();
    }
    return text;
}

std::string TrimBlanks(std::string_view pText) {
    size_t b = 0, e = pText.size();
    while (b < e && pText[b] == ' ') ++b;
    while (e > b && pText[e - 1] == ' ') --e;
    return std::string(pText.substr(b, e - b));
}

std::string TrimSpace(std::string_view pText) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = pText.size();
    while (b < e && isSpace(pText[b])) ++b;
    while (e > b && isSpace(pText[e - 1])) --e;
    return std::string(pText.substr(b, e - b));
}

size_t ControlCharacterAt(std::string_view pText, size_t pAt) {
    const auto c = static_cast<unsigned char>(pText[pAt]);
    if (c < 0x20 || c == 0x7F)
        return 1;
    // U+0080..U+009F are written C2 80..C2 9F.
    if (c == 0xC2 && pAt + 1 < pText.size()) {
        const auto d = static_cast<unsigned char>(pText[pAt + 1]);
        if (d >= 0x80 && d <= 0x9F)
            return 2;
    }
    return 0;
}

bool HoldsControlCharacter(std::string_view pText) {
    for (size_t i = 0; i < pText.size(); ++i) {
        if (ControlCharacterAt(pText, i) != 0)
            return true;
    }
    return false;
}

std::string ReplaceControlCharacters(std::string_view pText, std::string_view pWith) {
    std::string out;
    out.reserve(pText.size());
    for (size_t i = 0; i < pText.size();) {
        if (const size_t n = ControlCharacterAt(pText, i); n != 0) {
            out += pWith;
            i += n;
        } else {
            out += pText[i++];
        }
    }
    return out;
}

bool FileExists(const std::string& pPath) {
    if (pPath.empty()) return false;
    const auto slash = pPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? pPath : pPath.substr(slash + 1);
    if (name.find_first_of("*?") == std::string::npos) {
        struct stat st {};
        return ::stat(pPath.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }
    const std::string folder = slash == std::string::npos ? "." : pPath.substr(0, slash);
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return false;
    bool found = false;
    while (dirent* entry = ::readdir(dir)) {
        if (::fnmatch(name.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
        struct stat st {};
        const std::string full = folder + "/" + entry->d_name;
        if (::stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool FolderExists(const std::string& pPath) {
    if (pPath.empty()) return false;
    struct stat st {};
    return ::stat(pPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& pPath) {
    const auto slash = pPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : pPath.substr(0, slash);
}

void WaitSeconds(double pSeconds) {
    // A moment already reached (zero, negative or not a number) ends the wait
    // at once; a negative deadline would mean "forever" to QDeadlineTimer.
    if (!(pSeconds > 0)) return;
    QDeadlineTimer deadline(static_cast<qint64>(pSeconds * 1000.0));
    if (!QCoreApplication::instance()) return;
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
}

bool SoundsEnabled() {
    return gRegistry != nullptr && gRegistry->PlaySounds() == "1";
}

} // namespace brisa
