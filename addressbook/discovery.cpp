#include "addressbook/discovery.h"

#include "addressbook/address_list.h"
#include "common/utilities.h"
#include "language/translation.h"
#include "platform/drives.h"
#include "platform/linux/vcard_contacts.h"
#include "settings/registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace brisa {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// pLower is already in small letters.
bool EqualsLower(std::string_view pText, std::string_view pLower) {
    if (pText.size() != pLower.size())
        return false;
    for (size_t i = 0; i < pText.size(); ++i) {
        if (LowerAscii(pText[i]) != pLower[i])
            return false;
    }
    return true;
}

bool EndsWithLower(std::string_view pText, std::string_view pLower) {
    return pText.size() >= pLower.size() &&
           EqualsLower(pText.substr(pText.size() - pLower.size()), pLower);
}

// 0 for no match, otherwise 1..6 in the order of the kind table.
int NameKind(std::string_view pName) {
    if (pName.size() < 4)
        return 0;
    if (EqualsLower(pName, "addrbk.lst"))
        return 1;
    if (EndsWithLower(pName, ".wab"))
        return 2;
    if (EndsWithLower(pName, ".pst"))
        return 3;
    if (EqualsLower(pName, "abook.nab"))
        return 4;
    if (EndsWithLower(pName, ".ldif"))
        return 5;
    if (EqualsLower(pName, "nndbase.txt"))
        return 6;
    return 0;
}

const std::string& LabelByKind(int pKind, const cKindLabels& pKinds) {
    static const std::string none;
    switch (pKind) {
    case 1:
        return pKinds.AddrBkList;
    case 2:
        return pKinds.Wab;
    case 3:
        return pKinds.Pst;
    case 4:
        return pKinds.Nab;
    case 5:
        return pKinds.Ldif;
    case 6:
        return pKinds.Nickname;
    default:
        return none;
    }
}

struct FolderId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FolderId& o) const { return dev == o.dev && ino == o.ino; }
};

struct FolderIdHash {
    size_t operator()(const FolderId& id) const {
        return std::hash<uint64_t>{}(static_cast<uint64_t>(id.ino) * 0x9E3779B97F4A7C15ull ^
                                     static_cast<uint64_t>(id.dev));
    }
};

// A Wine prefix: a folder holding the folder drive_c (the Windows drive C:).
bool IsWinePrefix(int pParent, const char* pName) {
    const std::string driveC = std::string(pName) + "/drive_c";
    struct stat st {};
    return ::fstatat(pParent, driveC.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// The folder WINEPREFIX names, without trailing '/', when it lies below
// pRoot ("" for the root of all); otherwise "".
std::string WinePrefixBelow(const std::string& pRoot) {
    const char* value = std::getenv("WINEPREFIX");
    if (value == nullptr || value[0] != '/')
        return {};
    std::string prefix = value;
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    // "." and ".." parts could lead out of the drive.
    if ((prefix + "/").find("/./") != std::string::npos ||
        (prefix + "/").find("/../") != std::string::npos) {
        return {};
    }
    if (prefix.size() <= pRoot.size() + 1 || prefix.compare(0, pRoot.size(), pRoot) != 0 ||
        prefix[pRoot.size()] != '/') {
        return {};
    }
    return prefix;
}

std::string GetText(const char* pId) {
    return Tr(pId).value_or(std::string());
}

} // namespace

cKindLabels KindLabelsFromLanguage() {
    cKindLabels kinds;
    kinds.AddrBkList = GetText("opt0005");
    kinds.Wab = GetText("opt0006");
    kinds.Pst = GetText("opt0007");
    kinds.Nab = GetText("opt0008");
    kinds.Ldif = GetText("opt0035");
    kinds.Nickname = GetText("opt0009");
    return kinds;
}

bool IsAddressBookName(std::string_view pName) {
    return NameKind(pName) != 0;
}

namespace {
// The folder of vCard contact folders, without a trailing '/'; empty when
// it does not exist.
std::string ContactsRoot() {
    std::string root = VCardContacts::DefaultRoot();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return FolderExists(root) ? root : std::string();
}
} // namespace

std::string KindLabelOf(std::string_view pPath, const cKindLabels& pKinds) {
    // The vCard contact folders are read through the contacts window, like
    // the Outlook kind's personal folders.
    if (const std::string root = ContactsRoot(); !root.empty()) {
        std::string_view path = pPath;
        while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
        if (path == root) return LabelByKind(3, pKinds);
    }
    const size_t slash = pPath.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? pPath : pPath.substr(slash + 1);
    if (const int kind = NameKind(name); kind != 0)
        return LabelByKind(kind, pKinds);

    static constexpr std::string_view kTexts[] = {"AddrBk.lst", ".wab",  ".pst",
                                                  "abook.nab",  ".ldif", "nndbase.txt"};
    for (int i = 0; i < 6; ++i) {
        if (IndexOf(pPath, kTexts[i]) != 0)
            return LabelByKind(i + 1, pKinds);
    }
    return {};
}

std::string SearchAddressBooks(const std::string& pDrive, const cSearchProgress& pProgress) {
    std::string result;
    const std::string folder = DrivePathOf(pDrive);
    if (folder.empty())
        return result;
    ScanFolder(folder, result, pProgress);
    // The contact folders live below a dot folder the search does not enter;
    // they belong to the drive they are on.
    if (const std::string root = ContactsRoot();
        !root.empty() && root.find('\t') == std::string::npos &&
        (folder == "/" || root == folder || root.rfind(folder + "/", 0) == 0) &&
        result.find(root + "\t") == std::string::npos)
        result += root + "\t";
    return result;
}

void ScanFolder(const std::string& pFolder, std::string& pResult,
                const cSearchProgress& pProgress) {
    std::string root = pFolder;
    while (!root.empty() && root.back() == '/')
        root.pop_back();

    // Folders still to be searched, the next one last. A folder's subfolders
    // are pushed in reverse listing order once its listing is complete.
    std::vector<std::string> pending;
    pending.push_back(root);
    std::unordered_set<FolderId, FolderIdHash> searched;
    dev_t rootDevice = 0;
    bool atRoot = true;
    uint64_t seen = 0;
    const uint32_t every = pProgress.every == 0 ? 4096 : pProgress.every;
    bool stop = false;

    // The prefix WINEPREFIX names lies wherever the user put it, perhaps
    // below a hidden folder the walk does not enter; when it is on the
    // searched drive it is searched after the rest.
    std::string winePrefix = WinePrefixBelow(root);

    while (!stop) {
        if (pending.empty()) {
            if (winePrefix.empty())
                break;
            pending.push_back(std::move(winePrefix));
            winePrefix.clear();
        }
        const std::string folder = std::move(pending.back());
        pending.pop_back();

        // The starting folder may itself be reached through a link; below it
        // links are never followed.
        const int flags =
            O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (atRoot ? 0 : O_NOFOLLOW);
        const int fd = ::open(folder.empty() ? "/" : folder.c_str(), flags);
        if (fd < 0) {
            atRoot = false;
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
            ::close(fd);
            atRoot = false;
            continue;
        }
        if (atRoot) {
            rootDevice = st.st_dev;
            atRoot = false;
        } else if (st.st_dev != rootDevice) {
            ::close(fd); // another file system mounted here
            continue;
        }
        if (!searched.insert(FolderId{st.st_dev, st.st_ino}).second) {
            ::close(fd); // reached again through a bind mount
            continue;
        }
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            continue;
        }

        const size_t firstChild = pending.size();
        while (const dirent* entry = ::readdir(dir)) {
            if (++seen % every == 0 && pProgress.callback && !pProgress.callback(seen)) {
                stop = true;
                break;
            }
            const char* name = entry->d_name;
            const bool hidden = name[0] == '.';
            if (hidden && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;

            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat est {};
                if (::fstatat(fd, name, &est, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISDIR(est.st_mode)   ? DT_DIR
                       : S_ISREG(est.st_mode) ? DT_REG
                       : S_ISLNK(est.st_mode) ? DT_LNK
                                              : DT_UNKNOWN;
            }
            // Hidden entries are skipped, except Wine prefixes: the Windows
            // mail programs run under Wine keep their books there.
            if (hidden && (type != DT_DIR || !IsWinePrefix(fd, name)))
                continue;
            if (type == DT_DIR) {
                std::string& child = pending.emplace_back();
                child.reserve(folder.size() + 1 + std::strlen(name));
                child.append(folder).append(1, '/').append(name);
                continue;
            }
            const size_t length = std::strlen(name);
            if (NameKind(std::string_view(name, length)) == 0)
                continue;
            if (type == DT_LNK) {
                struct stat target {};
                if (::fstatat(fd, name, &target, 0) != 0 || !S_ISREG(target.st_mode))
                    continue;
            } else if (type != DT_REG) {
                continue; // pipes, sockets and devices are no address books
            }
            if (folder.find('\t') != std::string::npos ||
                std::memchr(name, '\t', length) != nullptr) {
                continue; // a tab would split the stored list
            }
            pResult.append(folder).append(1, '/').append(name, length).append(1, '\t');
        }
        ::closedir(dir);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
}

cBookList FillBookList(const cKindLabels& pKinds) {
    cBookList list;
    if (gRegistry == nullptr)
        return list;

    const std::string current = gRegistry->AddressBook();
    std::string fields = current;
    NextToken(fields, "\t", true);
    const std::string currentPath = NextToken(fields, "\t", false);

    cAddressList rows;
    std::string known = gRegistry->KnownAddressBooks();
    // Paths are split at tabs without NextToken's case folding of the whole
    // rest, which would make a long list quadratic.
    size_t start = 0;
    while (start < known.size()) {
        size_t tab = known.find('\t', start);
        if (tab == std::string::npos)
            tab = known.size();
        const std::string_view path(known.data() + start, tab - start);
        if (path.empty())
            break;
        rows.AddEntry(KindLabelOf(path, pKinds), path);
        start = tab + 1;
    }
    list.rows = rows.Rows();
    if (!list.rows.empty() && !currentPath.empty())
        list.selected = rows.FindPrefix(current);
    return list;
}

} // namespace brisa
