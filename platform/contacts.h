// The contact store the Outlook-style import window talks to. It answers the
// six calls that window makes, in the order it makes them: obtain the
// application, get its "MAPI" name space, log on, list the top folders (the
// message stores), list a store's folders with their default item type and
// name, and list a folder's items with their subject and e-mail address.
// Every call can fail; a failed call yields nothing and the caller goes on.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brisa {

// The default item type of a folder that holds contacts.
inline constexpr int kContactItemType = 2;

// One folder of a store: "DefaultItemType" and "Name".
struct ContactFolderInfo {
    int DefaultItemType = 0;
    std::string Name;
};

// One item of a folder: "Subject" (the display name) and "email1address".
struct ContactItemInfo {
    std::string Subject;
    std::string email1address;
};

// The name space of a logged-on session.
class IContactNameSpace {
public:
    virtual ~IContactNameSpace() = default;
    // Step 3: log on with a profile and password. The result is advisory;
    // callers ignore it.
    virtual bool Logon(const std::string& pProfile, const std::string& pPassword, bool pShowDialog,
                       bool pNewSession) = 0;
    // Step 4: the "Name" of every top folder (message store), in
    // enumeration order. False when the collection cannot be read.
    virtual bool Folders(std::vector<std::string>& pStores) = 0;
    // Step 5: the direct subfolders of the store looked up by name (the
    // first store of that name). False for an unknown or unreadable store.
    virtual bool StoreFolders(const std::string& pStore,
                              std::vector<ContactFolderInfo>& pFolders) = 0;
    // Step 6: the items of a store's folder, both looked up by name, in the
    // folder's item order. False for an unknown or unreadable folder.
    virtual bool FolderItems(const std::string& pStore, const std::string& pFolder,
                             std::vector<ContactItemInfo>& pItems) = 0;
};

// The application object.
class IContactApplication {
public:
    virtual ~IContactApplication() = default;
    // Step 2: the name space of the given type ("MAPI"); null on failure.
    virtual std::unique_ptr<IContactNameSpace> GetNameSpace(const std::string& pType) = 0;
};

// The provider itself.
class IContacts {
public:
    virtual ~IContacts() = default;
    // Step 1: starts or attaches to the application; null when it cannot
    // be obtained (no contact store on this computer).
    virtual std::unique_ptr<IContactApplication> GetApplication() = 0;
};

} // namespace brisa
