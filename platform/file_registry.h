// The registry kept in one text file in the REGEDIT4 format, so users can
// read, edit and back it up:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\BrisaMail, Inc.\BrisaMailer]
//   "Name"="Ann \"the voice\" Smith"
//   "Odd"=hex(1):41,00,42,00
//
// Every read parses the file as it is now (edits made by hand while the
// program runs are seen); every write replaces the file atomically.
#pragma once

#include "platform/registry.h"

#include <map>
#include <string>

namespace brisa {

class FileRegistry : public IRegistry {
public:
    explicit FileRegistry(std::string pFile);

    // $XDG_CONFIG_HOME/brisamail/registry.reg (~/.config/... by default).
    static std::string DefaultPath();

    bool OpenKey(RootKey pRoot, const std::string& pPath) override;
    bool CreateKey(RootKey pRoot, const std::string& pPath) override;
    bool QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                    std::string& pData) override;
    bool SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                  const std::string& pData) override;

    const std::string& File() const { return m_File; }

    // Parsed form of a registry file: key path (root name + "\" + path, as
    // written between the brackets) to its values (name to raw bytes).
    // Keys compare case-insensitively, as do value names.
    struct Key {
        std::string name;                                   // as first written
        std::map<std::string, std::pair<std::string, std::string>> values; // folded name -> (name, bytes)
    };
    using Content = std::map<std::string, Key>; // folded key name -> key
    // Parses text in the format above. Lines that cannot be understood are
    // left out; *pDamaged tells whether there were any.
    static Content Parse(const std::string& pText, bool* pDamaged = nullptr);
    static std::string Format(const Content& pContent);

private:
    bool Load(Content& pContent, bool& pDamaged);
    bool Save(const Content& pContent, bool pDamaged);
    std::string m_File;
};

} // namespace brisa
