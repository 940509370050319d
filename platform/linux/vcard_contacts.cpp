#include "platform/linux/vcard_contacts.h"

#include "platform/vcard.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <set>
#include <string_view>
#include <unistd.h>

namespace brisa {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& pPath) {
    std::error_code ec;
    return fs::is_directory(pPath, ec);
}

bool HasVcfExtension(const std::string& pName) {
    if (pName.size() < 5)
        return false; // "x.vcf" at least
    std::string ext = pName.substr(pName.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return ext == ".vcf";
}

// The entries of a folder in name order, without those beginning with ".".
// False when the folder cannot be listed.
bool ListFolder(const fs::path& pFolder, std::vector<fs::directory_entry>& pEntries) {
    pEntries.clear();
    std::error_code ec;
    fs::directory_iterator it(pFolder, ec);
    if (ec)
        return false;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        pEntries.push_back(*it);
    }
    std::sort(pEntries.begin(), pEntries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return a.path().filename().string() < b.path().filename().string();
              });
    return true;
}

bool IsFolderEntry(const fs::directory_entry& pEntry) {
    std::error_code ec;
    return pEntry.is_directory(ec);
}

bool IsVcfFile(const fs::directory_entry& pEntry) {
    std::error_code ec;
    return HasVcfExtension(pEntry.path().filename().string()) && pEntry.is_regular_file(ec);
}

// The .vcf files directly inside a folder, in name order.
std::vector<fs::path> VcfFiles(const fs::path& pFolder) {
    std::vector<fs::directory_entry> entries;
    std::vector<fs::path> files;
    if (!ListFolder(pFolder, entries))
        return files;
    for (const fs::directory_entry& entry : entries)
        if (IsVcfFile(entry))
            files.push_back(entry.path());
    return files;
}

bool HoldsVcf(const fs::path& pFolder) {
    std::error_code ec;
    fs::directory_iterator it(pFolder, ec);
    if (ec)
        return false;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            return false;
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.' && IsVcfFile(*it))
            return true;
    }
    return false;
}

// The first line of the folder's "displayname" file, or its own name.
std::string DisplayName(const fs::path& pFolder) {
    std::ifstream in(pFolder / "displayname", std::ios::binary);
    if (in) {
        std::string first(4096, '\0');
        in.read(first.data(), static_cast<std::streamsize>(first.size()));
        first.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        if (first.substr(0, 3) == "\xEF\xBB\xBF")
            first.erase(0, 3);
        first = first.substr(0, first.find_first_of("\r\n"));
        const std::string name = CleanContactText(first);
        if (!name.empty())
            return name;
    }
    return CleanContactText(pFolder.filename().string());
}

// Makes pName unique among pTaken (compared exactly) and records it.
std::string Unique(std::string pName, std::set<std::string>& pTaken) {
    if (pTaken.insert(pName).second)
        return pName;
    for (int n = 2;; ++n) {
        std::string candidate = pName + " (" + std::to_string(n) + ")";
        if (pTaken.insert(candidate).second)
            return candidate;
    }
}

struct Store {
    std::string name;
    fs::path path;
};

struct Folder {
    ContactFolderInfo info;
    fs::path path;
};

Folder MakeFolder(int pType, std::string pName, fs::path pPath) {
    Folder folder;
    folder.info.DefaultItemType = pType;
    folder.info.Name = std::move(pName);
    folder.path = std::move(pPath);
    return folder;
}

class VCardNameSpace : public IContactNameSpace {
public:
    explicit VCardNameSpace(fs::path pRoot) : m_Root(std::move(pRoot)) {}

    bool Logon(const std::string&, const std::string&, bool, bool) override { return true; }

    bool Folders(std::vector<std::string>& pStores) override {
        pStores.clear();
        std::vector<Store> stores;
        if (!Stores(stores))
            return false;
        for (Store& store : stores)
            pStores.push_back(std::move(store.name));
        return true;
    }

    bool StoreFolders(const std::string& pStore,
                      std::vector<ContactFolderInfo>& pFolders) override {
        pFolders.clear();
        std::vector<Folder> folders;
        if (!FoldersOf(pStore, folders))
            return false;
        for (Folder& folder : folders)
            pFolders.push_back(std::move(folder.info));
        return true;
    }

    bool FolderItems(const std::string& pStore, const std::string& pFolder,
                     std::vector<ContactItemInfo>& pItems) override {
        pItems.clear();
        std::vector<Folder> folders;
        if (!FoldersOf(pStore, folders))
            return false;
        const auto found = std::find_if(folders.begin(), folders.end(),
                                        [&](const Folder& f) { return f.info.Name == pFolder; });
        if (found == folders.end())
            return false;
        for (const fs::path& file : VcfFiles(found->path)) {
            ReadVCardFile(file.string(), [&](cVCard&& pCard) {
                pItems.push_back({std::move(pCard.Name), std::move(pCard.Email)});
            });
        }
        return true;
    }

private:
    bool Stores(std::vector<Store>& pStores) const {
        std::vector<fs::directory_entry> entries;
        if (!ListFolder(m_Root, entries))
            return false;
        std::set<std::string> taken;
        for (const fs::directory_entry& entry : entries)
            if (IsFolderEntry(entry))
                pStores.push_back({Unique(DisplayName(entry.path()), taken), entry.path()});
        return true;
    }

    // The folders of the first store named pStore: the store itself when it
    // holds cards, then its subfolders.
    bool FoldersOf(const std::string& pStore, std::vector<Folder>& pFolders) const {
        std::vector<Store> stores;
        if (!Stores(stores))
            return false;
        const auto store = std::find_if(stores.begin(), stores.end(),
                                        [&](const Store& s) { return s.name == pStore; });
        if (store == stores.end())
            return false;
        std::vector<fs::directory_entry> entries;
        if (!ListFolder(store->path, entries))
            return false;
        std::set<std::string> taken;
        bool ownCards = false;
        for (const fs::directory_entry& entry : entries)
            ownCards = ownCards || IsVcfFile(entry);
        if (ownCards)
            pFolders.push_back(MakeFolder(kContactItemType, Unique(store->name, taken), store->path));
        for (const fs::directory_entry& entry : entries) {
            if (!IsFolderEntry(entry))
                continue;
            const int type = HoldsVcf(entry.path()) ? kContactItemType : 0;
            pFolders.push_back(MakeFolder(type, Unique(DisplayName(entry.path()), taken), entry.path()));
        }
        return true;
    }

    fs::path m_Root;
};

class VCardApplication : public IContactApplication {
public:
    explicit VCardApplication(fs::path pRoot) : m_Root(std::move(pRoot)) {}
    std::unique_ptr<IContactNameSpace> GetNameSpace(const std::string& pType) override {
        const auto same = [](char a, char b) { return (a & ~0x20) == (b & ~0x20); };
        if (!std::equal(pType.begin(), pType.end(), std::string_view("MAPI").begin(),
                        std::string_view("MAPI").end(), same))
            return nullptr;
        return std::make_unique<VCardNameSpace>(m_Root);
    }

private:
    fs::path m_Root;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

} // namespace

VCardContacts::VCardContacts(std::string pRoot) : m_Root(std::move(pRoot)) {}

std::string VCardContacts::DefaultRoot() {
    if (const char* root = std::getenv("BRISAMAIL_CONTACTS"); root && *root)
        return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/contacts";
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return home + "/.local/share/contacts";
}

std::unique_ptr<IContactApplication> VCardContacts::GetApplication() {
    const std::string root = m_Root.empty() ? DefaultRoot() : m_Root;
    if (root.empty() || !IsFolder(root))
        return nullptr;
    return std::make_unique<VCardApplication>(root);
}

} // namespace brisa
