#include "settings/registry.h"

#include "common/utilities.h"
#include "platform/autostart.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace brisa {

cRegistry* gRegistry = nullptr;

// ---- cRegistryUtils --------------------------------------------------------

cRegistryUtils::cRegistryUtils(IRegistry& pRegistry) : m_Registry(pRegistry) {}

void cRegistryUtils::MainKey(uint32_t pRoot) { m_Root = static_cast<RootKey>(pRoot); }

void cRegistryUtils::SetData(const std::string& psWhere, const std::string& psKey,
                             const std::string& psValue, bool pbAsString) {
    (void)pbAsString; // every value is stored as text
    if (!m_Registry.OpenKey(m_Root, psWhere)) return;
    std::string data = psValue;
    data.push_back('\0');
    m_Registry.SetValue(m_Root, psWhere, psKey, data);
}

std::string cRegistryUtils::GetData(const std::string& psKey, const std::string& psValue) {
    std::string data;
    if (!m_Registry.OpenKey(m_Root, psKey)) return "";
    if (!m_Registry.QueryValue(m_Root, psKey, psValue, data)) return "";
    const auto nul = data.find('\0');
    return nul == std::string::npos ? data : data.substr(0, nul);
}

bool cRegistryUtils::HasValue(const std::string& psKey, const std::string& psValue) {
    std::string data;
    return m_Registry.QueryValue(m_Root, psKey, psValue, data);
}

bool cRegistryUtils::CheckKeyIsThere(const std::string& psKey) {
    return m_Registry.OpenKey(m_Root, psKey) || m_Registry.CreateKey(m_Root, psKey);
}

// ---- cRegistry -------------------------------------------------------------

cRegistry::cRegistry(IRegistry& pRegistry, IAutostart* pAutostart)
    : m_Machine(pRegistry), m_Users(pRegistry), m_Internet(pRegistry), m_Autostart(pAutostart) {
    m_Machine.MainKey(static_cast<uint32_t>(RootKey::LocalMachine));
    m_Users.MainKey(static_cast<uint32_t>(RootKey::Users));
    m_Internet.MainKey(static_cast<uint32_t>(RootKey::CurrentUser));
}

cRegistry::~cRegistry() = default;

std::string cRegistry::Get(const char* pName) { return m_Machine.GetData(kProgramKey, pName); }

void cRegistry::Set(const char* pName, const std::string& pValue) {
    m_Machine.SetData(kProgramKey, pName, pValue, true);
}

std::string cRegistry::MyName() { return Get("Name"); }
void cRegistry::MyName(const std::string& v) { Set("Name", v); }
std::string cRegistry::MyOrganization() { return Get("Organization"); }
void cRegistry::MyOrganization(const std::string& v) { Set("Organization", v); }
std::string cRegistry::ConnectTo() { return Get("ConnectTo"); }
void cRegistry::ConnectTo(const std::string& v) { Set("ConnectTo", v); }
std::string cRegistry::LargeFontWarning() { return Get("LargeFontWarning"); }
void cRegistry::LargeFontWarning(const std::string& v) { Set("LargeFontWarning", v); }
std::string cRegistry::LowResVideoWarning() { return Get("LowResVideoWarning"); }
void cRegistry::LowResVideoWarning(const std::string& v) { Set("LowResVideoWarning", v); }
std::string cRegistry::InVolume() { return Get("InVolume"); }
void cRegistry::InVolume(const std::string& v) { Set("InVolume", v); }
std::string cRegistry::OutVolume() { return Get("OutVolume"); }
void cRegistry::OutVolume(const std::string& v) { Set("OutVolume", v); }
std::string cRegistry::LogoClick() { return Get("LogoClick"); }
std::string cRegistry::DistributorCode() { return Get("DistributorCode"); }
std::string cRegistry::MyEmail() { return Get("Email"); }
void cRegistry::MyEmail(const std::string& v) { Set("Email", v); }
std::string cRegistry::MyCc() { return Get("Cc"); }
void cRegistry::MyCc(const std::string& v) { Set("Cc", v); }
std::string cRegistry::MyNote() { return Get("Note"); }
void cRegistry::MyNote(const std::string& v) { Set("Note", v); }
std::string cRegistry::PlaySounds() { return Get("PlaySounds"); }
void cRegistry::PlaySounds(const std::string& v) { Set("PlaySounds", v); }
std::string cRegistry::Autorun() { return Get("Autorun"); }
void cRegistry::Autorun(const std::string& v) { Set("Autorun", v); }
std::string cRegistry::ZovidClick() { return Get("ZovidClick"); }
std::string cRegistry::KnownAddressBooks() { return Get("KnownAddressBooks"); }
void cRegistry::KnownAddressBooks(const std::string& v) { Set("KnownAddressBooks", v); }
std::string cRegistry::AddressBook() { return Get("AddressBook"); }
void cRegistry::AddressBook(const std::string& v) { Set("AddressBook", v); }
bool cRegistry::ShowZered() { return EqualsNoCase(Get("ShowZered"), "Yes"); }
bool cRegistry::ShowZovid() { return EqualsNoCase(Get("ShowZovid"), "Yes"); }

std::string cRegistry::AutoStop() {
    // A whole number of seconds that fits in 16 bits (fractions round to the
    // nearest, halves to even), kept between 180 and 300; 300 otherwise.
    // The text is read the same way whatever the user's locale ("250.5").
    std::string text = TrimSpace(Get("AutoStop"));
    if (!text.empty() && text[0] == '+') text.erase(0, 1);
    int seconds = 300;
    if (!text.empty()) {
        double value = 0;
        const char* last = text.data() + text.size();
        const auto [end, error] = std::from_chars(text.data(), last, value);
        if (error == std::errc() && end == last && std::isfinite(value)) {
            const double rounded = std::nearbyint(value);
            if (rounded >= -32768.0 && rounded <= 32767.0) seconds = static_cast<int>(rounded);
        }
    }
    if (seconds < 180) seconds = 180;
    if (seconds > 300) seconds = 300;
    return std::to_string(seconds);
}

void cRegistry::SetRunAtInitialization(const std::string& v) {
    m_Machine.SetData(kRunKey, "BrisaMail", v, true);
    if (m_Autostart) m_Autostart->SetCommand(v);
}

std::string cRegistry::GetIeHttpProxy() {
    if (m_Internet.GetData(kInternetKey, "ProxyEnable").empty()) {
        if (m_Internet.HasValue(kInternetKey, "ProxyEnable") ||
            m_Internet.HasValue(kInternetKey, "ProxyServer"))
            return "";
        // No Internet settings at all: take what a Linux user configures,
        // the http_proxy variable of the environment.
        for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
            const char* value = std::getenv(name);
            if (value && *value) return value;
        }
        return "";
    }
    std::string server = m_Internet.GetData(kInternetKey, "ProxyServer");
    const std::string before = NextToken(server, "http=", true);
    if (!server.empty()) {
        std::string rest = server;
        return NextToken(rest, ";", false);
    }
    if (before.empty()) return "XXX";
    if (before.find('=') != std::string::npos) return "XXX";
    return before;
}

void cRegistry::VerifyRegistry() {
    m_Machine.CheckKeyIsThere(kProgramKey);
    m_Machine.CheckKeyIsThere(kRunKey);
    m_Users.CheckKeyIsThere(kAudioKey);
}

} // namespace brisa
