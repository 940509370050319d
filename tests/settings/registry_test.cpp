// The settings store over both registries: the in-memory one of the tests
// and the registry file the program uses.
#include "settings/registry.h"

#include "platform/file_registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace brisa {
namespace {

using test::FakeAutostart;
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

// The settings store over the registry file the program uses.
class SettingsStoreTest : public ::testing::Test {
protected:
    TempEnv env;
    FileRegistry registry{FileRegistry::DefaultPath()};
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
    std::optional<std::string> Raw(RootKey pRoot, const std::string& pKey,
                                   const std::string& pName) {
        std::string data;
        if (!registry.QueryValue(pRoot, pKey, pName, data))
            return std::nullopt;
        return data;
    }
};

TEST_F(SettingsStoreTest, FreshMachineAfterVerifyRegistry) {
    store.MyName("Ann"); // before the keys exist: dropped
    EXPECT_FALSE(registry.OpenKey(LM, kProgramKey));
    store.VerifyRegistry();
    EXPECT_TRUE(registry.OpenKey(LM, kProgramKey));
    EXPECT_TRUE(registry.OpenKey(LM, kRunKey));
    EXPECT_TRUE(registry.OpenKey(RootKey::Users, kAudioKey));
    EXPECT_EQ(store.MyName(), "");
    EXPECT_EQ(store.AutoStop(), "300");
    EXPECT_FALSE(store.ShowZered());
    EXPECT_EQ(store.GetIeHttpProxy(), "");
    store.MyName("Ann");
    store.VerifyRegistry(); // keeps what is there
    EXPECT_EQ(store.MyName(), "Ann");
}

struct Setting {
    const char* valueName;
    std::function<std::string(cRegistry&)> get;
    std::function<void(cRegistry&, const std::string&)> set;
};

#define BRISA_SETTING(name, property)                                                              \
    Setting {                                                                                      \
        name, [](cRegistry& r) { return r.property(); },                                           \
            [](cRegistry& r, const std::string& v) { r.property(v); }                              \
    }

TEST_F(SettingsStoreTest, EachSettingIsTextPlusNulUnderItsValueName) {
    const std::vector<Setting> settings = {
        BRISA_SETTING("Name", MyName),
        BRISA_SETTING("Organization", MyOrganization),
        BRISA_SETTING("ConnectTo", ConnectTo),
        BRISA_SETTING("LargeFontWarning", LargeFontWarning),
        BRISA_SETTING("LowResVideoWarning", LowResVideoWarning),
        BRISA_SETTING("InVolume", InVolume),
        BRISA_SETTING("OutVolume", OutVolume),
        BRISA_SETTING("Email", MyEmail),
        BRISA_SETTING("Cc", MyCc),
        BRISA_SETTING("Note", MyNote),
        BRISA_SETTING("PlaySounds", PlaySounds),
        BRISA_SETTING("Autorun", Autorun),
        BRISA_SETTING("KnownAddressBooks", KnownAddressBooks),
        BRISA_SETTING("AddressBook", AddressBook),
    };
    store.VerifyRegistry();
    auto text = [](const Setting& s) {
        return std::string("value of ") + s.valueName + " \"quoted\" C:\\path é";
    };
    for (const auto& setting : settings)
        setting.set(store, text(setting));
    for (const auto& setting : settings) {
        EXPECT_EQ(Raw(LM, kProgramKey, setting.valueName), text(setting) + '\0')
            << setting.valueName;
        EXPECT_EQ(setting.get(store), text(setting)) << setting.valueName;
    }
    store.MyNote("");
    EXPECT_EQ(Raw(LM, kProgramKey, "Note"), "\0"s);
}

// What another program or a hand edit left is read as text up to its first NUL.
TEST_F(SettingsStoreTest, StoredBytesAreReadAsText) {
    struct Case {
        const char* name;
        std::string bytes;
        std::function<std::string(cRegistry&)> get;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"LogoClick", "https://example.com/logo\0"s, [](cRegistry& r) { return r.LogoClick(); },
         "https://example.com/logo"},
        {"DistributorCode", "D-42\0"s, [](cRegistry& r) { return r.DistributorCode(); }, "D-42"},
        {"ZovidClick", "htm/zovid.htm\0"s, [](cRegistry& r) { return r.ZovidClick(); },
         "htm/zovid.htm"},
        {"EMAIL", "ann@example.com\0"s, [](cRegistry& r) { return r.MyEmail(); },
         "ann@example.com"},
        {"Name", "Ann\0Smith\0"s, [](cRegistry& r) { return r.MyName(); }, "Ann"},
        {"Cc", "\0hidden\0"s, [](cRegistry& r) { return r.MyCc(); }, ""},
        {"Note", "no terminator"s, [](cRegistry& r) { return r.MyNote(); }, "no terminator"},
    };
    for (const auto& c : cases) {
        Put(LM, kProgramKey, c.name, c.bytes);
        EXPECT_EQ(c.get(store), c.text) << c.name;
    }
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

TEST_F(SettingsStoreTest, AutoStopIsKeptBetween180And300) {
    store.VerifyRegistry();
    EXPECT_EQ(store.AutoStop(), "300"); // missing
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"abc", "300"},    {"", "300"},       {"60", "180"},     {"240", "240"},
             {"1000", "300"},   {"250.5", "250"}, // halves go to the even neighbour
             {"251.5", "252"},  {"199.4", "199"},  {"70000", "300"}, // does not fit in 16 bits
             {"32767", "300"},  {"-32768", "180"}, {"-40000", "300"}, {"-5", "180"},
             {"179", "180"},    {"180", "180"},    {"181", "181"},    {"299", "299"},
             {"300", "300"},    {"301", "300"},    {" 200 ", "200"},  {"+200", "200"},
             {"200abc", "300"}, {"nan", "300"},    {"inf", "300"},    {"0x100", "300"},
         }) {
        PutSetting("AutoStop", text);
        EXPECT_EQ(store.AutoStop(), expected) << "stored: " << text;
    }
}

TEST_F(SettingsStoreTest, TheHttpProxy) {
    struct Case {
        std::optional<std::string> enable, server, environment;
        std::string proxy;
    };
    const std::string on = "\x01\0\0\0"s, off = "\0\0\0\0"s;
    const std::vector<Case> cases = {
        {std::nullopt, std::nullopt, std::nullopt, ""},
        {on, "http=proxy:8080;ftp=other:21\0"s, std::nullopt, "proxy:8080"},
        {on, "ftp=other:21;HTTP=web:3128\0"s, std::nullopt, "web:3128"},
        {on, "proxy:80\0"s, std::nullopt, "proxy:80"},
        {"1\0"s, "proxy:80\0"s, std::nullopt, "proxy:80"},
        {on, "ftp=other:21\0"s, std::nullopt, "XXX"},
        {on, "\0"s, std::nullopt, "XXX"},
        {on, "http=\0"s, std::nullopt, "XXX"},
        {on, std::nullopt, std::nullopt, "XXX"},
        {off, "http=proxy:8080\0"s, "http://env-proxy:3128/", ""},
        {"\0\x01\0\0"s, "proxy:80\0"s, std::nullopt, ""}, // only the first byte counts
        {std::nullopt, std::nullopt, "http://env-proxy:3128/", "http://env-proxy:3128/"},
        {std::nullopt, "proxy:80\0"s, "http://env-proxy:3128/",
         ""}, // a server without its switch: off
    };
    for (const auto& c : cases) {
        TempEnv folder;
        FileRegistry file(FileRegistry::DefaultPath());
        cRegistry fresh(file, nullptr);
        EnvVar proxy("http_proxy", c.environment);
        for (const auto& [name, bytes] :
             {std::pair{"ProxyEnable", c.enable}, std::pair{"ProxyServer", c.server}})
            if (bytes) {
                ASSERT_TRUE(file.CreateKey(RootKey::CurrentUser, kInternetKey));
                ASSERT_TRUE(file.SetValue(RootKey::CurrentUser, kInternetKey, name, *bytes));
            }
        EXPECT_EQ(fresh.GetIeHttpProxy(), c.proxy) << c.server.value_or("(none)");
    }
    EnvVar upper("HTTP_PROXY", "upper:8080");
    EXPECT_EQ(store.GetIeHttpProxy(), "upper:8080");
}

TEST_F(SettingsStoreTest, RunAtInitializationWritesTheRunKeyAndTheAutostartEntry) {
    store.VerifyRegistry();
    store.SetRunAtInitialization("/opt/brisamail/brisamail 1");
    EXPECT_EQ(Raw(LM, kRunKey, "BrisaMail"), "/opt/brisamail/brisamail 1\0"s);
    store.SetRunAtInitialization("");
    EXPECT_EQ(Raw(LM, kRunKey, "BrisaMail"), "\0"s); // emptied, never deleted
    EXPECT_EQ(autostart.commands, (std::vector<std::string>{"/opt/brisamail/brisamail 1", ""}));
    EXPECT_EQ(Raw(LM, kProgramKey, "BrisaMail"), std::nullopt);
}

TEST_F(SettingsStoreTest, EveryReadGoesToTheRegistry) {
    store.VerifyRegistry();
    store.MyName("Ann");
    ASSERT_TRUE(registry.SetValue(LM, kProgramKey, "Name", "Bob\0"s));
    EXPECT_EQ(store.MyName(), "Bob");
    cRegistry second(registry, nullptr);
    second.MyName("Cid");
    EXPECT_EQ(store.MyName(), "Cid");
}

TEST_F(SettingsStoreTest, LowLevelAccessUsesItsRootKey) {
    cRegistryUtils users(registry);
    users.MainKey(0x80000003);
    EXPECT_TRUE(users.CheckKeyIsThere(kAudioKey));
    EXPECT_TRUE(registry.OpenKey(RootKey::Users, kAudioKey));
    EXPECT_FALSE(registry.OpenKey(LM, kAudioKey));
    users.SetData(kAudioKey, "DefaultFormat", "PCM", true);
    EXPECT_EQ(users.GetData(kAudioKey, "DefaultFormat"), "PCM");
    EXPECT_EQ(users.GetData("No\\Such\\Key", "DefaultFormat"), "");
    users.SetData("No\\Such\\Key", "X", "1", true); // never creates a key
    EXPECT_FALSE(registry.OpenKey(RootKey::Users, "No\\Such\\Key"));
}

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
