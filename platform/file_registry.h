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
// program runs are seen); every write replaces the file atomically. Inside a
// batch the file is read once, and the batch's writes replace it once, when
// the batch is committed.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <map>
#include <memory>
#include <thread>
#include <string>

namespace brisa {

class FileRegistry : public IRegistry {
public:
    explicit FileRegistry(std::string pFile);
    ~FileRegistry() override;
    FileRegistry(const FileRegistry&) = delete;
    FileRegistry& operator=(const FileRegistry&) = delete;

    // $XDG_CONFIG_HOME/brisamail/registry.reg (~/.config/... by default).
    static std::string DefaultPath();

    // A key exists when it has its own section or a section below it does.
    bool OpenKey(RootKey pRoot, const std::string& pPath) override;
    bool CreateKey(RootKey pRoot, const std::string& pPath) override;
    bool QueryValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                    std::string& pData) override;
    bool SetValue(RootKey pRoot, const std::string& pPath, const std::string& pName,
                  const std::string& pData) override;
    void BeginBatch() override;
    bool CommitBatch() override;
    void CommitBatchInBackground() override;
    bool Settle() override;

    const std::string& File() const { return m_File; }

    // Parsed form of a registry file: key path (root name + "\" + path, as
    // written between the brackets) to its values (name to raw bytes).
    // Keys compare case-insensitively, as do value names.
    struct Key {
        std::string name; // as first written
        // Folded name -> (name as first written, bytes).
        std::map<std::string, std::pair<std::string, std::string>> values;
        // Folded name -> registry type of the values read as dword: (4),
        // hex: (3) or hex(N): with N other than 1, so that they are written
        // back the same way. Values missing here are REG_SZ.
        std::map<std::string, uint32_t> types;
    };
    using Content = std::map<std::string, Key>; // folded key name -> key
    // Parses text in the format above. Lines that cannot be understood are
    // left out; *pDamaged tells whether there were any.
    static Content Parse(const std::string& pText, bool* pDamaged = nullptr);
    static std::string Format(const Content& pContent);

private:
    // Reads and parses the file. A missing file is an empty registry; false
    // when the file exists but cannot be read (nothing may be written over
    // it then). pRaw receives the bytes read.
    // Inside a batch, the file as the batch first read it, with its writes.
    bool Load(Content& pContent, bool& pDamaged, std::string* pRaw = nullptr);
    bool Read(Content& pContent, bool& pDamaged, std::string* pRaw);
    // Replaces the file with pContent; a damaged original (pRaw) is first
    // copied to a backup beside it.
    bool Save(const Content& pContent, bool pDamaged, const std::string& pRaw);
    // Replaces the file with pText, Format()'s text of the content (the part
    // of Save() a batch puts off).
    bool Write(const std::string& pText, bool pDamaged, const std::string& pRaw) const;
    // A write of pText would leave the file as it was read (a setting stored
    // again with the value it has): it does not touch the disk.
    static bool LeavesFileAsItIs(const std::string& pText, bool pDamaged, const std::string& pRaw);
    std::string m_File;

    // The running batch: the file as read at its first use, and its content
    // with the batch's writes.
    struct Batch {
        bool read = false;     // the file has been read
        bool readable = true;  // false: it exists but cannot be read
        bool changed = false;  // a write is waiting for CommitBatch()
        bool damaged = false;
        std::string raw;
        Content content;
    };
    std::unique_ptr<Batch> m_Batch;
    // A batch being written by m_Writer; reads take its content meanwhile.
    std::unique_ptr<Batch> m_Written;
    std::thread m_Writer;
    bool m_WriterResult = true;
};

} // namespace brisa
