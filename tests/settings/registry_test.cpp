// The settings store over both registries: the in-memory one of the tests
// and the registry file the program uses.
#include "settings/registry.h"

#include "platform/file_registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <memory>
#include <optional>

namespace brisa {
namespace {

using test::FakeAutostart;
using test::MemoryRegistry;
using test::ReadFile;
using test::TempEnv;
using test::WriteFile;
using namespace std::string_literals;

constexpr RootKey LM = RootKey::LocalMachine;

// Sets an environment variable for one test and puts the old state back.
class EnvVar {
public:
    EnvVar(const char* pName, std::optional<std::string> pValue) : m_Name(pName) {
        m_Had = qEnvironmentVariableIsSet(pName);
        m_Old = qgetenv(pName);
        if (pValue)
            qputenv(pName, QByteArray::fromStdString(*pValue));
        else
            qunsetenv(pName);
    }
    ~EnvVar() {
        if (m_Had)
            qputenv(m_Name, m_Old);
        else
            qunsetenv(m_Name);
    }

private:
    const char* m_Name;
    QByteArray m_Old;
    bool m_Had = false;
};

enum class Backend { Memory, File };

class SettingsStoreTest : public ::testing::TestWithParam<Backend> {
protected:
    TempEnv env;
    MemoryRegistry memory;
    FileRegistry file{FileRegistry::DefaultPath()};
    IRegistry& registry = GetParam() == Backend::Memory ? static_cast<IRegistry&>(memory)
                                                        : static_cast<IRegistry&>(file);
    FakeAutostart autostart;
    cRegistry store{registry, &autostart};
    EnvVar httpProxy{"http_proxy", std::nullopt};
    EnvVar httpProxyUpper{"HTTP_PROXY", std::nullopt};

    // Stores raw bytes, creating the key when needed (what another program
    // or a hand edit would do).
    void Put(RootKey pRoot, const std::string& pKey, const std::string& pName,
             const std::string& pBytes) {
        ASSERT_TRUE(registry.CreateKey(pRoot, pKey));
        ASSERT_TRUE(registry.SetValue(pRoot, pKey, pName, pBytes));
    }
    void PutSetting(const std::string& pName, const std::string& pText) {
        Put(LM, kProgramKey, pName, pText + '\0');
    }
    void PutInternet(const std::string& pName, const std::string& pBytes) {
        Put(RootKey::CurrentUser, kInternetKey, pName, pBytes);
    }
    std::optional<std::string> Raw(RootKey pRoot, const std::string& pKey,
                                   const std::string& pName) {
        std::string data;
        if (!registry.QueryValue(pRoot, pKey, pName, data))
            return std::nullopt;
        return data;
    }
};

// ---- a fresh machine ----------------------------------------------------------------

TEST_P(SettingsStoreTest, FreshMachineAfterVerifyRegistry) {
    EXPECT_FALSE(registry.OpenKey(LM, kProgramKey));
    store.VerifyRegistry();
    EXPECT_TRUE(registry.OpenKey(LM, kProgramKey));
    EXPECT_TRUE(registry.OpenKey(LM, kRunKey));
    EXPECT_TRUE(registry.OpenKey(RootKey::Users, kAudioKey));

    const std::vector<std::pair<const char*, std::string>> texts = {
        {"MyName", store.MyName()},
        {"MyOrganization", store.MyOrganization()},
        {"ConnectTo", store.ConnectTo()},
        {"LargeFontWarning", store.LargeFontWarning()},
        {"LowResVideoWarning", store.LowResVideoWarning()},
        {"InVolume", store.InVolume()},
        {"OutVolume", store.OutVolume()},
        {"LogoClick", store.LogoClick()},
        {"DistributorCode", store.DistributorCode()},
        {"MyEmail", store.MyEmail()},
        {"MyCc", store.MyCc()},
        {"MyNote", store.MyNote()},
        {"PlaySounds", store.PlaySounds()},
        {"Autorun", store.Autorun()},
        {"ZovidClick", store.ZovidClick()},
        {"KnownAddressBooks", store.KnownAddressBooks()},
        {"AddressBook", store.AddressBook()},
    };
    for (const auto& [name, value] : texts)
        EXPECT_EQ(value, "") << name;
    EXPECT_EQ(store.AutoStop(), "300");
    EXPECT_FALSE(store.ShowZered());
    EXPECT_FALSE(store.ShowZovid());
    EXPECT_EQ(store.GetIeHttpProxy(), "");
}

TEST_P(SettingsStoreTest, VerifyRegistryKeepsWhatIsThere) {
    store.VerifyRegistry();
    store.MyName("Ann");
    store.VerifyRegistry();
    EXPECT_EQ(store.MyName(), "Ann");
}

TEST_P(SettingsStoreTest, WritesBeforeTheKeysExistAreDropped) {
    store.MyName("Ann");
    EXPECT_FALSE(registry.OpenKey(LM, kProgramKey));
    EXPECT_EQ(store.MyName(), "");
    store.VerifyRegistry();
    store.MyName("Ann");
    EXPECT_EQ(store.MyName(), "Ann");
}

// ---- the settings ----------------------------------------------------------------------

struct Setting {
    const char* valueName;
    std::function<std::string(cRegistry&)> get;
    std::function<void(cRegistry&, const std::string&)> set;
};

std::vector<Setting> WritableSettings() {
    return {
        {"Name", [](cRegistry& r) { return r.MyName(); },
         [](cRegistry& r, const std::string& v) { r.MyName(v); }},
        {"Organization", [](cRegistry& r) { return r.MyOrganization(); },
         [](cRegistry& r, const std::string& v) { r.MyOrganization(v); }},
        {"ConnectTo", [](cRegistry& r) { return r.ConnectTo(); },
         [](cRegistry& r, const std::string& v) { r.ConnectTo(v); }},
        {"LargeFontWarning", [](cRegistry& r) { return r.LargeFontWarning(); },
         [](cRegistry& r, const std::string& v) { r.LargeFontWarning(v); }},
        {"LowResVideoWarning", [](cRegistry& r) { return r.LowResVideoWarning(); },
         [](cRegistry& r, const std::string& v) { r.LowResVideoWarning(v); }},
        {"InVolume", [](cRegistry& r) { return r.InVolume(); },
         [](cRegistry& r, const std::string& v) { r.InVolume(v); }},
        {"OutVolume", [](cRegistry& r) { return r.OutVolume(); },
         [](cRegistry& r, const std::string& v) { r.OutVolume(v); }},
        {"Email", [](cRegistry& r) { return r.MyEmail(); },
         [](cRegistry& r, const std::string& v) { r.MyEmail(v); }},
        {"Cc", [](cRegistry& r) { return r.MyCc(); },
         [](cRegistry& r, const std::string& v) { r.MyCc(v); }},
        {"Note", [](cRegistry& r) { return r.MyNote(); },
         [](cRegistry& r, const std::string& v) { r.MyNote(v); }},
        {"PlaySounds", [](cRegistry& r) { return r.PlaySounds(); },
         [](cRegistry& r, const std::string& v) { r.PlaySounds(v); }},
        {"Autorun", [](cRegistry& r) { return r.Autorun(); },
         [](cRegistry& r, const std::string& v) { r.Autorun(v); }},
        {"KnownAddressBooks", [](cRegistry& r) { return r.KnownAddressBooks(); },
         [](cRegistry& r, const std::string& v) { r.KnownAddressBooks(v); }},
        {"AddressBook", [](cRegistry& r) { return r.AddressBook(); },
         [](cRegistry& r, const std::string& v) { r.AddressBook(v); }},
    };
}

TEST_P(SettingsStoreTest, EachSettingIsTextPlusNulUnderItsValueName) {
    store.VerifyRegistry();
    for (const auto& setting : WritableSettings()) {
        const std::string text =
            std::string("value of ") + setting.valueName + " \"quoted\" C:\\path é";
        setting.set(store, text);
        EXPECT_EQ(Raw(LM, kProgramKey, setting.valueName), text + '\0') << setting.valueName;
        EXPECT_EQ(setting.get(store), text) << setting.valueName;
    }
    // Each property has a value of its own.
    for (const auto& setting : WritableSettings())
        EXPECT_EQ(setting.get(store),
                  std::string("value of ") + setting.valueName + " \"quoted\" C:\\path é");
}

TEST_P(SettingsStoreTest, ReadOnlySettingsReturnTheStoredText) {
    PutSetting("LogoClick", "https://example.com/logo");
    PutSetting("DistributorCode", "D-42");
    PutSetting("ZovidClick", "htm/zovid.htm");
    EXPECT_EQ(store.LogoClick(), "https://example.com/logo");
    EXPECT_EQ(store.DistributorCode(), "D-42");
    EXPECT_EQ(store.ZovidClick(), "htm/zovid.htm");
}

TEST_P(SettingsStoreTest, ValueNamesCompareWithoutLetterCase) {
    PutSetting("EMAIL", "ann@example.com");
    EXPECT_EQ(store.MyEmail(), "ann@example.com");
}

TEST_P(SettingsStoreTest, WritingTheEmptyTextStoresASingleNul) {
    store.VerifyRegistry();
    store.MyNote("a note");
    store.MyNote("");
    EXPECT_EQ(Raw(LM, kProgramKey, "Note"), "\0"s);
    EXPECT_EQ(store.MyNote(), "");
}

TEST_P(SettingsStoreTest, EmbeddedNulReadsUpToTheFirstOne) {
    Put(LM, kProgramKey, "Name", "Ann\0Smith\0"s);
    EXPECT_EQ(store.MyName(), "Ann");
    Put(LM, kProgramKey, "Cc", "\0hidden\0"s);
    EXPECT_EQ(store.MyCc(), "");
    // Without any NUL the whole value is the text.
    Put(LM, kProgramKey, "Note", "no terminator"s);
    EXPECT_EQ(store.MyNote(), "no terminator");
}

TEST_P(SettingsStoreTest, ShowZovidAndShowZeredAreTrueForYesOnly) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, bool>>{{"Yes", true},
                                                                                  {"yes", true},
                                                                                  {"YES", true},
                                                                                  {"1", false},
                                                                                  {"true", false},
                                                                                  {"Yes ", false},
                                                                                  {"", false}}) {
        PutSetting("ShowZovid", text);
        PutSetting("ShowZered", text);
        EXPECT_EQ(store.ShowZovid(), expected) << text;
        EXPECT_EQ(store.ShowZered(), expected) << text;
    }
}

TEST_P(SettingsStoreTest, AutoStopIsKeptBetween180And300) {
    store.VerifyRegistry();
    EXPECT_EQ(store.AutoStop(), "300"); // missing
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"abc", "300"},    {"", "300"},       {"60", "180"},     {"240", "240"},
             {"1000", "300"},   {"250.5", "250"}, // halves go to the even neighbour
             {"251.5", "252"},  {"199.4", "199"},  {"70000", "300"}, // does not fit in 16 bits
             {"32767", "300"},  {"-32768", "180"}, {"-40000", "300"}, {"-5", "180"},
             {"180", "180"},    {"300", "300"},    {" 200 ", "200"},  {"+200", "200"},
             {"200abc", "300"}, {"nan", "300"},    {"inf", "300"},    {"0x100", "300"},
         }) {
        PutSetting("AutoStop", text);
        EXPECT_EQ(store.AutoStop(), expected) << "stored: " << text;
    }
}

TEST_P(SettingsStoreTest, AutoStopDoesNotDependOnTheLocale) {
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    PutSetting("AutoStop", "250.5");
    const std::string seconds = store.AutoStop();
    std::setlocale(LC_NUMERIC, old.c_str());
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(seconds, "250");
}

// ---- the proxy -----------------------------------------------------------------------------

TEST_P(SettingsStoreTest, ProxyNamedForHttp) {
    PutInternet("ProxyEnable", "\x01\0\0\0"s);
    PutInternet("ProxyServer", "http=proxy:8080;ftp=other:21\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "proxy:8080");
    PutInternet("ProxyServer", "ftp=other:21;HTTP=web:3128\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "web:3128");
    PutInternet("ProxyServer", "http=solo:81\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "solo:81");
}

TEST_P(SettingsStoreTest, OneProxyForAllProtocols) {
    PutInternet("ProxyEnable", "\x01\0\0\0"s);
    PutInternet("ProxyServer", "proxy:80\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "proxy:80");
}

TEST_P(SettingsStoreTest, ProxyOnWithoutAnHttpProxyGivesXXX) {
    PutInternet("ProxyEnable", "\x01\0\0\0"s);
    PutInternet("ProxyServer", "ftp=other:21\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "XXX");
    PutInternet("ProxyServer", "\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "XXX");
    PutInternet("ProxyServer", "http=\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "XXX");
}

TEST_P(SettingsStoreTest, ProxyOnWithoutAServerValueGivesXXX) {
    PutInternet("ProxyEnable", "\x01\0\0\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "XXX");
}

TEST_P(SettingsStoreTest, ProxySwitchedOffGivesNothingWhateverTheServer) {
    EnvVar proxy("http_proxy", "http://env-proxy:3128/");
    PutInternet("ProxyEnable", "\0\0\0\0"s);
    for (const std::string server :
         {"http=proxy:8080;ftp=other:21", "proxy:80", "ftp=other:21", ""}) {
        PutInternet("ProxyServer", server + '\0');
        EXPECT_EQ(store.GetIeHttpProxy(), "") << server;
    }
    // Only the first byte counts: 256 is off, 1 is on.
    PutInternet("ProxyEnable", "\0\x01\0\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "");
    PutInternet("ProxyEnable", "1\0"s);
    PutInternet("ProxyServer", "proxy:80\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "proxy:80");
}

TEST_P(SettingsStoreTest, WithoutInternetSettingsTheEnvironmentNamesTheProxy) {
    EXPECT_EQ(store.GetIeHttpProxy(), "");
    {
        EnvVar proxy("http_proxy", "http://env-proxy:3128/");
        EXPECT_EQ(store.GetIeHttpProxy(), "http://env-proxy:3128/");
    }
    {
        EnvVar proxy("HTTP_PROXY", "upper:8080");
        EXPECT_EQ(store.GetIeHttpProxy(), "upper:8080");
    }
    // A server value without its switch means the proxy is off.
    EnvVar proxy("http_proxy", "http://env-proxy:3128/");
    PutInternet("ProxyServer", "proxy:80\0"s);
    EXPECT_EQ(store.GetIeHttpProxy(), "");
}

// ---- run at log-on ---------------------------------------------------------------------------

TEST_P(SettingsStoreTest, RunAtInitializationWritesTheRunKeyAndTheAutostartEntry) {
    store.VerifyRegistry();
    store.SetRunAtInitialization("/opt/brisamail/brisamail 1");
    EXPECT_EQ(Raw(LM, kRunKey, "BrisaMail"), "/opt/brisamail/brisamail 1\0"s);
    store.SetRunAtInitialization("");
    EXPECT_EQ(Raw(LM, kRunKey, "BrisaMail"), "\0"s); // emptied, never deleted
    EXPECT_EQ(autostart.commands, (std::vector<std::string>{"/opt/brisamail/brisamail 1", ""}));
    // The program's own key is not touched.
    EXPECT_EQ(Raw(LM, kProgramKey, "BrisaMail"), std::nullopt);
}

TEST_P(SettingsStoreTest, StoreWithoutAutostartOnlyWritesTheRunKey) {
    cRegistry plain(registry, nullptr);
    plain.VerifyRegistry();
    plain.SetRunAtInitialization("/usr/bin/brisamail 1");
    EXPECT_EQ(Raw(LM, kRunKey, "BrisaMail"), "/usr/bin/brisamail 1\0"s);
}

// ---- nothing is cached -----------------------------------------------------------------------

TEST_P(SettingsStoreTest, EveryReadGoesToTheRegistry) {
    store.VerifyRegistry();
    store.MyName("Ann");
    ASSERT_TRUE(registry.SetValue(LM, kProgramKey, "Name", "Bob\0"s));
    EXPECT_EQ(store.MyName(), "Bob");
    cRegistry second(registry, nullptr);
    second.MyName("Cid");
    EXPECT_EQ(store.MyName(), "Cid");
}

TEST_P(SettingsStoreTest, LowLevelAccessUsesItsRootKey) {
    cRegistryUtils users(registry);
    users.MainKey(0x80000003);
    EXPECT_TRUE(users.CheckKeyIsThere(kAudioKey));
    EXPECT_TRUE(registry.OpenKey(RootKey::Users, kAudioKey));
    EXPECT_FALSE(registry.OpenKey(LM, kAudioKey));
    users.SetData(kAudioKey, "DefaultFormat", "PCM", true);
    EXPECT_EQ(users.GetData(kAudioKey, "DefaultFormat"), "PCM");
    EXPECT_EQ(users.GetData(kAudioKey, "Missing"), "");
    EXPECT_EQ(users.GetData("No\\Such\\Key", "DefaultFormat"), "");
    // SetData never creates a key.
    users.SetData("No\\Such\\Key", "X", "1", true);
    EXPECT_FALSE(registry.OpenKey(RootKey::Users, "No\\Such\\Key"));
}

INSTANTIATE_TEST_SUITE_P(Registries, SettingsStoreTest,
                         ::testing::Values(Backend::Memory, Backend::File),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                             return info.param == Backend::Memory ? "Memory" : "File";
                         });

// ---- over the registry file only ------------------------------------------------------------

TEST(SettingsStoreFile, SettingsAreReadableTextInTheFile) {
    TempEnv env;
    FileRegistry file(FileRegistry::DefaultPath());
    cRegistry store(file, nullptr);
    store.VerifyRegistry();
    store.MyName("Ann \"the voice\" Smith");
    store.MyNote("");
    const std::string text = ReadFile(env.ConfigFolder() + "/brisamail/registry.reg");
    EXPECT_EQ(text.rfind("REGEDIT4\n\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n"
                        "\"Name\"=\"Ann \\\"the voice\\\" Smith\"\n"
                        "\"Note\"=\"\"\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"),
        std::string::npos);
    EXPECT_NE(text.find("[HKEY_USERS\\.Default\\Software\\Microsoft\\Multimedia\\Audio]\n"),
              std::string::npos);
}

TEST(SettingsStoreFile, HandWrittenSettingsAreSeenAtOnce) {
    TempEnv env;
    FileRegistry file(FileRegistry::DefaultPath());
    cRegistry store(file, nullptr);
    store.VerifyRegistry();
    EXPECT_FALSE(store.ShowZovid());
    const std::string path = env.ConfigFolder() + "/brisamail/registry.reg";
    WriteFile(
        path,
        "REGEDIT4\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n"
        "\"ShowZovid\"=\"yes\"\n"
        "\"AutoStop\"=\"240\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\n"
        "\"ProxyEnable\"=dword:00000001\n"
        "\"ProxyServer\"=\"http=proxy:8080;ftp=other:21\"\n");
    EXPECT_TRUE(store.ShowZovid());
    EXPECT_EQ(store.AutoStop(), "240");
    EXPECT_EQ(store.GetIeHttpProxy(), "proxy:8080");
    WriteFile(
        path,
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\n"
        "\"ProxyEnable\"=dword:00000000\n"
        "\"ProxyServer\"=\"proxy:80\"\n");
    EXPECT_EQ(store.GetIeHttpProxy(), "");
    EXPECT_FALSE(store.ShowZovid());
    EXPECT_EQ(store.AutoStop(), "300");
}

TEST(SettingsStoreFile, DamagedFileStillGivesTheReadableSettings) {
    TempEnv env;
    const std::string path = env.ConfigFolder() + "/brisamail/registry.reg";
    const std::string damaged = "REGEDIT4\n\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n"
                                "\"Name\"=\"Ann\"\n"
                                "\"Email\"=\"unterminated\n"
                                "<<<<<<< merge conflict\n";
    WriteFile(path, damaged);
    FileRegistry file(FileRegistry::DefaultPath());
    cRegistry store(file, nullptr);
    store.VerifyRegistry();
    EXPECT_EQ(store.MyName(), "Ann");
    EXPECT_EQ(store.MyEmail(), "");
    store.MyEmail("ann@example.com");
    EXPECT_EQ(store.MyEmail(), "ann@example.com");
    EXPECT_EQ(store.MyName(), "Ann");
    EXPECT_EQ(ReadFile(path + ".bak"), damaged);
}

} // namespace
} // namespace brisa
