#include "platform/drives.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {

namespace {

// File system types that hold no user files.
constexpr std::array<std::string_view, 30> kVirtualTypes = {"proc",
                                                            "sysfs",
                                                            "tmpfs",
                                                            "devtmpfs",
                                                            "cgroup",
                                                            "cgroup2",
                                                            "devpts",
                                                            "mqueue",
                                                            "debugfs",
                                                            "tracefs",
                                                            "securityfs",
                                                            "pstore",
                                                            "bpf",
                                                            "autofs",
                                                            "fusectl",
                                                            "configfs",
                                                            "hugetlbfs",
                                                            "binfmt_misc",
                                                            "nsfs",
                                                            "ramfs",
                                                            "efivarfs",
                                                            "rpc_pipefs",
                                                            "nfsd",
                                                            "selinuxfs",
                                                            "fuse.portal",
                                                            "fuse.gvfsd-fuse",
                                                            "fuse.lxcfs",
                                                            "fuse.snapfuse",
                                                            "fuse.xdg-document-portal",
                                                            "none"};

bool IsVirtualType(std::string_view pType) {
    for (std::string_view t : kVirtualTypes) {
        if (t == pType)
            return true;
    }
    return false;
}

bool IsBelow(std::string_view pPath, std::string_view pFolder) {
    return pPath == pFolder ||
           (pPath.size() > pFolder.size() && pPath.substr(0, pFolder.size()) == pFolder &&
            pPath[pFolder.size()] == '/');
}

// Undoes the octal escapes of the mounts table (\040 blank, \011 tab,
// \012 line feed, \134 backslash).
std::string DecodeMountField(std::string_view pField) {
    std::string out;
    out.reserve(pField.size());
    for (size_t i = 0; i < pField.size(); ++i) {
        const char c = pField[i];
        if (c == '\\' && i + 3 < pField.size()) {
            const char a = pField[i + 1], b = pField[i + 2], d = pField[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && d >= '0' && d <= '7') {
                out += static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (d - '0'));
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string WithoutTrailingSlashes(std::string pPath) {
    while (pPath.size() > 1 && pPath.back() == '/')
        pPath.pop_back();
    return pPath;
}

std::string LabelOf(const std::string& pPath) {
    const size_t slash = pPath.find_last_of('/');
    std::string label = slash == std::string::npos ? pPath : pPath.substr(slash + 1);
    for (char& c : label) {
        if (c == '[')
            c = '(';
        if (c == ']')
            c = ')';
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return label;
}

// Splits one line of the table at blanks and tabs.
std::vector<std::string_view> Fields(std::string_view pLine) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < pLine.size()) {
        while (i < pLine.size() && (pLine[i] == ' ' || pLine[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < pLine.size() && pLine[i] != ' ' && pLine[i] != '\t')
            ++i;
        if (i > start)
            fields.push_back(pLine.substr(start, i - start));
    }
    return fields;
}

std::string ReadWholeFile(const char* pPath) {
    std::string text;
    const int fd = ::open(pPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > (16u << 20))
            break; // no mounts table is that long
    }
    ::close(fd);
    return text;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return {};
}

} // namespace

std::vector<std::string> DriveEntriesFromMounts(std::string_view pMounts, std::string_view pHome) {
    std::vector<std::string> entries;
    std::vector<std::string> paths;
    auto add = [&](const std::string& pPath, const std::string& pLabel) {
        for (const std::string& known : paths) {
            if (known == pPath)
                return;
        }
        paths.push_back(pPath);
        entries.push_back(pPath + " [" + pLabel + "]");
    };

    const std::string home = WithoutTrailingSlashes(std::string(pHome));
    if (!home.empty() && home != "/")
        add(home, "Home");
    add("/", "System");

    size_t start = 0;
    while (start < pMounts.size()) {
        size_t end = pMounts.find('\n', start);
        if (end == std::string_view::npos)
            end = pMounts.size();
        const std::string_view line = pMounts.substr(start, end - start);
        start = end + 1;

        const auto fields = Fields(line);
        if (fields.size() < 3)
            continue;
        const std::string path = WithoutTrailingSlashes(DecodeMountField(fields[1]));
        const std::string_view type = fields[2];
        if (path.empty() || path[0] != '/' || path == "/")
            continue;
        if (IsVirtualType(type))
            continue;
        if (type == "overlay")
            continue;
        if (type == "squashfs" && IsBelow(path, "/snap"))
            continue;
        if (IsBelow(path, "/proc") || IsBelow(path, "/sys") || IsBelow(path, "/dev"))
            continue;
        if (IsBelow(path, "/run") && !IsBelow(path, "/run/media"))
            continue;
        add(path, LabelOf(path));
    }
    return entries;
}

std::string DrivePathOf(std::string_view pEntry) {
    const size_t bracket = pEntry.find_last_of('[');
    std::string_view path = bracket == std::string_view::npos ? pEntry : pEntry.substr(0, bracket);
    while (!path.empty() && path.front() == ' ')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == ' ')
        path.remove_suffix(1);
    return std::string(path);
}

std::vector<std::string> LinuxDriveList::Drives() {
    std::vector<std::string> result;
    for (std::string& entry :
         DriveEntriesFromMounts(ReadWholeFile("/proc/self/mounts"), HomeFolder())) {
        struct stat st {};
        const std::string path = DrivePathOf(entry);
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            result.push_back(std::move(entry));
    }
    return result;
}

} // namespace brisa
