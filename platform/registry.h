// The registry the settings live in: root keys, key paths below them and
// named values holding raw bytes (a REG_SZ value is its text plus one NUL).
#pragma once

#include <cstdint>
#include <string>

namespace brisa {

enum class RootKey : uint32_t {
    CurrentUser = 0x80000001,  // HKEY_CURRENT_USER
    LocalMachine = 0x80000002, // HKEY_LOCAL_MACHINE
    Users = 0x80000003,        // HKEY_USERS
};

const char* RootKeyName(RootKey pRoot);

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // True when the key exists (opening it would succeed).
    virtual bool OpenKey(RootKey pRoot, const std::string& pPath) = 0;
    // Creates the key and its missing parents; true when it exists afterwards.
    virtual bool CreateKey(RootKey pRoot, const std::string& pPath) = 0;
    // Reads a value's bytes; false when the key or the value is missing.
    virtual bool QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                            std::string& pData) = 0;
    // Writes a value's bytes into an existing key; false when the key is
    // missing or the store cannot be written.
    virtual bool SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                          const std::string& pData) = 0;

    // A run of writes that belong together (those of one start-up): between
    // BeginBatch() and CommitBatch() a store may hold the writes in memory
    // and put them on the disk in one go; reads in between see them.
    // CommitBatch() returns once every write of the batch is lasting (false
    // when that failed). Batches do not nest: a second BeginBatch() joins the
    // running one, and the first CommitBatch() ends it.
    virtual void BeginBatch() {}
    virtual bool CommitBatch() { return true; }
    // Ends the batch like CommitBatch(), but may return while its writes
    // are still on their way to the disk; reads see them meanwhile. Settle()
    // waits until they are lasting (false when that failed); any other
    // write, batch or the end of the store waits as well.
    virtual void CommitBatchInBackground() { CommitBatch(); }
    virtual bool Settle() { return true; }
};

} // namespace brisa
