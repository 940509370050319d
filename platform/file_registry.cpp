#include "platform/file_registry.h"

#include "platform/regular_file.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brisa {

namespace {

// Registry value types kept apart from REG_SZ when a file is rewritten.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// A registry file is a few kilobytes; anything this big is not one and is
// left alone rather than read into memory.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

// Key and value names compare without regard to letter case. Names that are
// not valid UTF-8 fold their ASCII letters only, so that two different byte
// sequences never collapse into one name.
std::string FoldName(std::string_view pName) {
    if (IsAscii(pName) || !IsValidUtf8(pName)) {
        std::string out(pName);
        for (auto& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }
    return QString::fromUtf8(pName.data(), static_cast<qsizetype>(pName.size()))
        .toCaseFolded()
        .toUtf8()
        .toStdString();
}

std::string KeyName(RootKey pRoot, const std::string& pPath) {
    std::string name = RootKeyName(pRoot);
    if (!pPath.empty()) {
        name += '\\';
        name += pPath;
    }
    return name;
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != prefix[i]) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses 1..8 hexadecimal digits.
bool ParseHexNumber(std::string_view s, uint32_t& pValue) {
    if (s.empty() || s.size() > 8) return false;
    uint32_t value = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    pValue = value;
    return true;
}

// Reads a quoted text starting at s[pos] == '"'; \\ and \" are escapes, any
// other backslash stands for itself. pos ends behind the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    ++pos;
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
            out.push_back(s[pos + 1]);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

// "41,00,42" (blanks allowed around the bytes, one trailing comma allowed).
bool ParseHexBytes(std::string_view s, std::string& out) {
    out.clear();
    s = Trim(s);
    if (s.empty()) return true;
    size_t start = 0;
    while (true) {
        const size_t comma = s.find(',', start);
        const std::string_view item = Trim(s.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (item.empty()) {
            // Only a trailing comma may leave an empty item.
            return comma == std::string_view::npos && !out.empty();
        }
        uint32_t byte = 0;
        if (item.size() > 2 || !ParseHexNumber(item, byte)) return false;
        out.push_back(static_cast<char>(byte));
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

// The data part of a value line: "text", dword:..., hex:..., hex(N):...
bool ParseData(std::string_view data, std::string& bytes, uint32_t& type) {
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text) || !Trim(data.substr(pos)).empty()) return false;
        bytes = std::move(text);
        bytes.push_back('\0');
        type = kRegSz;
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        uint32_t value = 0;
        if (!ParseHexNumber(Trim(data.substr(6)), value)) return false;
        bytes.clear();
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        type = kRegDword;
        return true;
    }
    if (StartsWithNoCase(data, "hex:")) {
        type = kRegBinary;
        return ParseHexBytes(data.substr(4), bytes);
    }
    if (StartsWithNoCase(data, "hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos || !ParseHexNumber(data.substr(4, close - 4), type))
            return false;
        return ParseHexBytes(data.substr(close + 2), bytes);
    }
    return false;
}

bool NeedsHex(const std::string& pBytes) {
    // A plain "text" line holds the text plus its one terminating NUL.
    if (pBytes.empty() || pBytes.back() != '\0') return true;
    const std::string_view text(pBytes.data(), pBytes.size() - 1);
    return HasLineBreakOrNul(text) || !IsValidUtf8(text);
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out.push_back(',');
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0F]);
    }
}

// ---- files ------------------------------------------------------------------

bool WriteAll(int fd, const std::string& pBytes) {
    size_t done = 0;
    while (done < pBytes.size()) {
        const ssize_t n = ::write(fd, pBytes.data() + done, pBytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes pBytes to a new file that must not exist yet.
bool WriteNewFile(const std::string& pPath, const std::string& pBytes, bool& pExisted) {
    pExisted = false;
    const int fd = ::open(pPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        pExisted = errno == EEXIST;
        return false;
    }
    const bool ok = WriteAll(fd, pBytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(pPath.c_str());
        return false;
    }
    return true;
}

// The file a write replaces: the target of a symbolic link, so that a
// linked registry stays linked.
std::string WriteTarget(const std::string& pFile) {
    std::error_code ec;
    if (std::filesystem::is_symlink(pFile, ec)) {
        const auto target = std::filesystem::canonical(pFile, ec);
        if (!ec) return target.string();
    }
    return pFile;
}

void SyncFolder(const std::string& pFolder) {
    const int fd = ::open(pFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// True when the key has its own section or a key below it does.
bool KeyExists(const FileRegistry::Content& pContent, const std::string& pFolded) {
    if (pContent.count(pFolded)) return true;
    const std::string prefix = pFolded + "\\";
    const auto below = pContent.lower_bound(prefix);
    return below != pContent.end() && below->first.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// ---- parsing and formatting --------------------------------------------------

FileRegistry::Content FileRegistry::Parse(const std::string& pText, bool* pDamaged) {
    Content content;
    bool damaged = false;
    std::string_view text(pText);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    Key* current = nullptr;
    bool header = false; // the REGEDIT4 line was seen
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty()) continue;
        if (!header) {
            header = true;
            if (line == "REGEDIT4") continue;
            // Without its first line the file is not what this program wrote;
            // what can be read is still read.
            damaged = true;
        }
        if (line[0] == ';') continue; // comment
        if (line[0] == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                damaged = true;
                continue;
            }
            const std::string name(line.substr(1, line.size() - 2));
            Key& key = content[FoldName(name)];
            if (key.name.empty()) key.name = name;
            current = &key;
            continue;
        }
        if (line[0] != '"' && line[0] != '@') {
            damaged = true;
            continue;
        }

        // A value line: "Name"=data or @=data.
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, name)) {
            damaged = true;
            continue;
        }
        std::string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest[0] != '=') {
            damaged = true;
            continue;
        }
        rest = Trim(rest.substr(1));
        std::string data(rest);
        // Hexadecimal data may go on over further lines, each but the last
        // ending with a backslash.
        bool broken = false;
        if (StartsWithNoCase(data, "hex")) {
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (i + 1 >= lines.size()) {
                    broken = true;
                    break;
                }
                data += Trim(lines[++i]);
            }
        }
        std::string bytes;
        uint32_t type = kRegSz;
        if (broken || !current || !ParseData(data, bytes, type)) {
            damaged = true;
            continue;
        }
        const std::string folded = FoldName(name);
        auto& slot = current->values[folded];
        if (slot.first.empty()) slot.first = name;
        slot.second = std::move(bytes);
        if (type == kRegSz) current->types.erase(folded);
        else current->types[folded] = type;
    }
    if (pDamaged) *pDamaged = damaged;
    return content;
}

std::string FileRegistry::Format(const Content& pContent) {
    std::string out = "REGEDIT4\n";
    for (const auto& [folded, key] : pContent) {
        out += "\n[";
        out += key.name;
        out += "]\n";
        for (const auto& [foldedName, value] : key.values) {
            const auto& [name, bytes] = value;
            if (name.empty()) out += '@';
            else AppendQuoted(out, name);
            out += '=';
            const auto typeIt = key.types.find(foldedName);
            const uint32_t type = typeIt == key.types.end() ? kRegSz : typeIt->second;
            if (type == kRegSz && !NeedsHex(bytes)) {
                AppendQuoted(out, std::string_view(bytes.data(), bytes.size() - 1));
            } else if (type == kRegDword && bytes.size() == 4) {
                uint32_t number = 0;
                for (int i = 3; i >= 0; --i)
                    number =
                        (number << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
                out += buffer;
            } else {
                if (type == kRegBinary) {
                    out += "hex:";
                } else {
                    char buffer[24];
                    std::snprintf(buffer, sizeof buffer, "hex(%x):", type);
                    out += buffer;
                }
                AppendHexBytes(out, bytes);
            }
            out += '\n';
        }
    }
    return out;
}

// ---- the store -----------------------------------------------------------------

FileRegistry::FileRegistry(std::string pFile) : m_File(std::move(pFile)) {}

FileRegistry::~FileRegistry() { Settle(); }

std::string FileRegistry::DefaultPath() {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        std::string home;
        if (const char* h = std::getenv("HOME"); h && *h) home = h;
        else if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
        config = home + "/.config";
    }
    while (config.size() > 1 && config.back() == '/') config.pop_back();
    return config + "/brisamail/registry.reg";
}

bool FileRegistry::Load(Content& pContent, bool& pDamaged, std::string* pRaw) {
    if (!m_Batch && m_Written) {
        // What the file holds once the write on its way has landed.
        pContent = m_Written->content;
        pDamaged = false;
        if (pRaw) *pRaw = Format(m_Written->content);
        return true;
    }
    if (!m_Batch) return Read(pContent, pDamaged, pRaw);
    if (!m_Batch->read) {
        m_Batch->read = true;
        m_Batch->readable = Read(m_Batch->content, m_Batch->damaged, &m_Batch->raw);
    }
    if (!m_Batch->readable) return false;
    pContent = m_Batch->content;
    pDamaged = m_Batch->damaged;
    if (pRaw) *pRaw = m_Batch->raw;
    return true;
}

bool FileRegistry::Read(Content& pContent, bool& pDamaged, std::string* pRaw) {
    pContent.clear();
    pDamaged = false;
    std::string raw;
    switch (ReadRegularFile(m_File, raw, kMaxFileSize)) {
    case FileRead::Missing:
        if (pRaw) pRaw->clear();
        return true;
    case FileRead::Failed:
        return false;
    case FileRead::Read:
        break;
    }
    pContent = Parse(raw, &pDamaged);
    if (pRaw) *pRaw = std::move(raw);
    return true;
}

bool FileRegistry::Save(const Content& pContent, bool pDamaged, const std::string& pRaw) {
    if (m_Batch) {
        // Kept until the batch is committed; the file as read stays the
        // original a damaged file's backup is made of.
        m_Batch->content = pContent;
        m_Batch->changed = true;
        return true;
    }
    Settle();
    return Write(Format(pContent), pDamaged, pRaw);
}

void FileRegistry::BeginBatch() {
    Settle();
    if (!m_Batch) m_Batch = std::make_unique<Batch>();
}

bool FileRegistry::CommitBatch() {
    Settle();
    if (!m_Batch) return true;
    const std::unique_ptr<Batch> batch = std::move(m_Batch);
    if (!batch->changed) return true;
    return Write(Format(batch->content), batch->damaged, batch->raw);
}

void FileRegistry::CommitBatchInBackground() {
    Settle();
    if (!m_Batch) return;
    std::unique_ptr<Batch> batch = std::move(m_Batch);
    if (!batch->changed) return;
    // Settings stored again with the values they had (every later start
    // does so) need no writer at all.
    std::string text = Format(batch->content);
    if (LeavesFileAsItIs(text, batch->damaged, batch->raw)) return;
    m_Written = std::move(batch);
    // The writer only reads the batch and the file name; the reads of this
    // thread only read the batch too.
    const Batch* written = m_Written.get();
    try {
        m_Writer = std::thread([this, written, text] {
            m_WriterResult = Write(text, written->damaged, written->raw);
        });
    } catch (...) {
        m_WriterResult = Write(text, written->damaged, written->raw);
        m_Written.reset();
    }
}

bool FileRegistry::Settle() {
    if (m_Writer.joinable()) m_Writer.join();
    m_Written.reset();
    const bool result = m_WriterResult;
    m_WriterResult = true;
    return result;
}

bool FileRegistry::LeavesFileAsItIs(const std::string& pText, bool pDamaged, const std::string& pRaw) {
    return !pDamaged && !pRaw.empty() && pText == pRaw;
}

bool FileRegistry::Write(const std::string& pText, bool pDamaged, const std::string& pRaw) const {
    if (LeavesFileAsItIs(pText, pDamaged, pRaw)) return true;

    const std::string target = WriteTarget(m_File);
    const auto slash = target.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) return false;

    // Lines this program could not read are kept in a backup before the
    // file is written over.
    if (pDamaged) {
        bool saved = false;
        for (int n = 0; n < 1000 && !saved; ++n) {
            std::string backup = folder + "/" + base + ".bak";
            if (n > 0) backup.append(".").append(std::to_string(n));
            bool existed = false;
            saved = WriteNewFile(backup, pRaw, existed);
            if (!saved && !existed) return false;
        }
        if (!saved) return false;
    }

    std::string temp = folder + "/." + base + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) ::fchmod(fd, st.st_mode & 07777);
    bool ok = WriteAll(fd, pText) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // A new file's name is made lasting at once; a replaced one keeps its
    // old, complete content until the folder reaches the disk by itself.
    if (!existed) SyncFolder(folder);
    return true;
}

bool FileRegistry::OpenKey(RootKey pRoot, const std::string& pPath) {
    if (pPath.empty()) return true; // the root keys always exist
    Content content;
    bool damaged = false;
    if (!Load(content, damaged)) return false;
    return KeyExists(content, FoldName(KeyName(pRoot, pPath)));
}

bool FileRegistry::CreateKey(RootKey pRoot, const std::string& pPath) {
    if (pPath.empty()) return true;
    if (HasLineBreakOrNul(pPath)) return false;
    Content content;
    bool damaged = false;
    std::string raw;
    if (!Load(content, damaged, &raw)) return false;
    const std::string name = KeyName(pRoot, pPath);
    Key& key = content[FoldName(name)];
    if (!key.name.empty()) return true;
    key.name = name;
    return Save(content, damaged, raw);
}

bool FileRegistry::QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                              std::string& pData) {
    Content content;
    bool damaged = false;
    if (!Load(content, damaged)) return false;
    const auto key = content.find(FoldName(KeyName(pRoot, pPath)));
    if (key == content.end()) return false;
    const auto value = key->second.values.find(FoldName(pName));
    if (value == key->second.values.end()) return false;
    pData = value->second.second;
    return true;
}

bool FileRegistry::SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                            const std::string& pData) {
    if (HasLineBreakOrNul(pName)) return false;
    Content content;
    bool damaged = false;
    std::string raw;
    if (!Load(content, damaged, &raw)) return false;
    const std::string keyName = KeyName(pRoot, pPath);
    auto key = content.find(FoldName(keyName));
    if (key == content.end()) {
        // A parent implied by a key below it gets its own section now.
        if (!pPath.empty() && !KeyExists(content, FoldName(keyName))) return false;
        key = content.emplace(FoldName(keyName), Key{keyName, {}, {}}).first;
    }
    const std::string folded = FoldName(pName);
    auto& slot = key->second.values[folded];
    if (slot.first.empty()) slot.first = pName;
    slot.second = pData;
    key->second.types.erase(folded);
    return Save(content, damaged, raw);
}

} // namespace brisa
