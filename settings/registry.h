// The settings store: one property per setting, each read and written
// straight through to the registry (nothing is cached).
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <string>

namespace brisa {

class IAutostart;

// Reads and writes text values below one root key. Every operation opens
// the key it needs and closes it again.
class cRegistryUtils {
public:
    explicit cRegistryUtils(IRegistry& pRegistry);

    void MainKey(uint32_t pRoot);
    // Stores psValue plus one NUL as value psKey of the existing key psWhere.
    void SetData(const std::string& psWhere, const std::string& psKey, const std::string& psValue,
                 bool pbAsString);
    // Reads value psValue of key psKey: the text up to its first NUL, or ""
    // when the key or value is missing.
    std::string GetData(const std::string& psKey, const std::string& psValue);
    // Makes sure the key exists; true when it does afterwards.
    bool CheckKeyIsThere(const std::string& psKey);
    // True when the value exists, whatever it holds.
    bool HasValue(const std::string& psKey, const std::string& psValue);

private:
    IRegistry& m_Registry;
    RootKey m_Root = RootKey::LocalMachine;
};

inline constexpr const char* kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kAudioKey = ".Default\\Software\\Microsoft\\Multimedia\\Audio";
inline constexpr const char* kInternetKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class cRegistry {
public:
    // pAutostart (may be null) mirrors the Run-key command to the desktop's
    // autostart entry.
    cRegistry(IRegistry& pRegistry, IAutostart* pAutostart);
    ~cRegistry();
    cRegistry(const cRegistry&) = delete;
    cRegistry& operator=(const cRegistry&) = delete;

    std::string MyName();
    void MyName(const std::string& v);
    std::string MyOrganization();
    void MyOrganization(const std::string& v);
    std::string ConnectTo();
    void ConnectTo(const std::string& v);
    std::string LargeFontWarning();
    void LargeFontWarning(const std::string& v);
    std::string LowResVideoWarning();
    void LowResVideoWarning(const std::string& v);
    std::string InVolume();
    void InVolume(const std::string& v);
    std::string OutVolume();
    void OutVolume(const std::string& v);
    std::string LogoClick();
    std::string DistributorCode();
    std::string MyEmail();
    void MyEmail(const std::string& v);
    std::string MyCc();
    void MyCc(const std::string& v);
    std::string MyNote();
    void MyNote(const std::string& v);
    std::string PlaySounds();
    void PlaySounds(const std::string& v);
    std::string Autorun();
    void Autorun(const std::string& v);
    // Seconds, 180..300, as decimal text (300 when unset or not a number).
    std::string AutoStop();
    bool ShowZered();
    bool ShowZovid();
    std::string ZovidClick();
    std::string KnownAddressBooks();
    void KnownAddressBooks(const std::string& v);
    std::string AddressBook();
    void AddressBook(const std::string& v);
    // The command run at log-on ("" for none); written only.
    void SetRunAtInitialization(const std::string& v);

    // "" (no proxy), "XXX" (a proxy is on but none is named for HTTP) or
    // the HTTP proxy's host and port.
    std::string GetIeHttpProxy();
    // Makes sure the program key, the Run key and the audio key exist.
    void VerifyRegistry();

private:
    std::string Get(const char* pName);
    void Set(const char* pName, const std::string& pValue);
    cRegistryUtils m_Machine;
    cRegistryUtils m_Users;
    cRegistryUtils m_Internet;
    IAutostart* m_Autostart;
};

// The program's one settings store, created first at start-up and released
// last.
extern cRegistry* gRegistry;

} // namespace brisa
