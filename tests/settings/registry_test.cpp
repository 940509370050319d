// The settings store over the registry file: the value each setting lives
// in, how stored bytes read, the limits of AutoStop, the HTTP proxy, and the
// log-on command with the desktop's autostart entry.
#include "settings/registry.h"

#include "platform/file_registry.h"
#include "platform/linux/linux_services.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QFile>

#include <optional>

namespace brisa {
namespace {

using test::ReadFile;
using test::TempEnv;
using namespace std::string_literals;

constexpr RootKey LM = RootKey::LocalMachine;

// The store as the program builds it, in folders of its own.
struct Store {
    TempEnv env;
    FileRegistry file{FileRegistry::DefaultPath()};
    XdgAutostart autostart;
    cRegistry store{file, &autostart};
    Store() { qunsetenv("http_proxy"), qunsetenv("HTTP_PROXY"); }

    // What another program or a hand edit puts in the registry.
    void Put(const std::string& pName, const std::string& pBytes, RootKey pRoot = LM,
             const std::string& pKey = kProgramKey) {
        FileRegistry other(FileRegistry::DefaultPath());
        ASSERT_TRUE(other.CreateKey(pRoot, pKey));
        ASSERT_TRUE(other.SetValue(pRoot, pKey, pName, pBytes));
    }
    std::optional<std::string> Raw(const std::string& pKey, const std::string& pName) {
        std::string data;
        return file.QueryValue(LM, pKey, pName, data) ? std::optional(data) : std::nullopt;
    }
};

TEST(SettingsStore, Settings) {
    Store s;
    s.store.MyName("Ann"); // before the keys exist: dropped
    s.store.VerifyRegistry();
    EXPECT_EQ(ReadFile(FileRegistry::DefaultPath()),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\n"
              "[HKEY_USERS\\.Default\\Software\\Microsoft\\Multimedia\\Audio]\n");

    // Each setting is read as the text up to the first NUL of its value and
    // written as text plus one NUL.
    struct Row {
        const char* name;
        std::string (cRegistry::*get)();
        void (cRegistry::*set)(const std::string&);
    };
    // clang-format off
#define RW(name, property) Row{name, &cRegistry::property, &cRegistry::property}
#define RO(name, property) Row{name, &cRegistry::property, nullptr}
    const std::vector<Row> rows = {
        RW("Name", MyName), RW("Organization", MyOrganization), RW("ConnectTo", ConnectTo),
        RW("LargeFontWarning", LargeFontWarning), RW("LowResVideoWarning", LowResVideoWarning),
        RW("InVolume", InVolume), RW("OutVolume", OutVolume), RW("Email", MyEmail),
        RW("Cc", MyCc), RW("Note", MyNote), RW("PlaySounds", PlaySounds), RW("Autorun", Autorun),
        RW("KnownAddressBooks", KnownAddressBooks), RW("AddressBook", AddressBook),
        RO("LogoClick", LogoClick), RO("DistributorCode", DistributorCode),
        RO("ZovidClick", ZovidClick)};
#undef RW
#undef RO
    // clang-format on
    for (const Row& row : rows) {
        s.Put(row.name, "was \"here\"\0tail\0"s);
        EXPECT_EQ((s.store.*row.get)(), "was \"here\"") << row.name;
        if (row.set) {
            (s.store.*row.set)("C:\\path é");
            EXPECT_EQ(s.Raw(kProgramKey, row.name), "C:\\path é\0"s) << row.name;
        }
    }
    s.Put("NOTE", "no terminator"s);
    EXPECT_EQ(s.store.MyNote(), "no terminator");

    const std::vector<std::pair<std::string, bool>> shown = {
        {"Yes", true}, {"yES", true}, {"1", false}, {"true", false}, {"Yes ", false}, {"", false}};
    for (const auto& [text, yes] : shown) {
        s.Put("ShowZovid", text + '\0');
        s.Put("ShowZered", text + '\0');
        EXPECT_EQ(s.store.ShowZovid(), yes) << text;
        EXPECT_EQ(s.store.ShowZered(), yes) << text;
    }

    // AutoStop: whole seconds (halves to the even neighbour) that fit in 16
    // bits, kept between 180 and 300; 300 for anything else.
    EXPECT_EQ(s.store.AutoStop(), "300"); // missing
    for (const auto& [text, seconds] : std::vector<std::pair<std::string, std::string>>{
             {"abc", "300"},   {"", "300"},      {"60", "180"},     {"240", "240"},
             {"1000", "300"},  {"250.5", "250"}, {"251.5", "252"},  {"199.4", "199"},
             {"70000", "300"}, {"32767", "300"}, {"-32768", "180"}, {"-40000", "300"},
             {"-5", "180"},    {"179", "180"},   {"180", "180"},    {"181", "181"},
             {"299", "299"},   {"300", "300"},   {"301", "300"},    {"300.4", "300"},
             {"300.6", "300"}, {" 200 ", "200"}, {"+200", "200"},   {"200abc", "300"},
             {"nan", "300"},   {"inf", "300"},   {"0x100", "300"}}) {
        s.Put("AutoStop", text + '\0');
        EXPECT_EQ(s.store.AutoStop(), seconds) << "stored: " << text;
    }
}

TEST(SettingsStore, HttpProxy) {
    struct Row {
        std::optional<std::string> enable, server, environment;
        std::string proxy;
    };
    const std::string on = "\x01\0\0\0"s, off = "\0\0\0\0"s;
    const std::vector<Row> rows = {
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
        {"\0\x01\0\0"s, "proxy:80\0"s, std::nullopt, ""}, // the first byte counts
        {std::nullopt, std::nullopt, "http://env-proxy:3128/", "http://env-proxy:3128/"},
        {std::nullopt, "proxy:80\0"s, "http://env-proxy:3128/", ""}, // no switch: off
    };
    for (const Row& row : rows) {
        Store s;
        if (row.environment)
            qputenv("http_proxy", QByteArray::fromStdString(*row.environment));
        if (row.enable)
            s.Put("ProxyEnable", *row.enable, RootKey::CurrentUser, kInternetKey);
        if (row.server)
            s.Put("ProxyServer", *row.server, RootKey::CurrentUser, kInternetKey);
        EXPECT_EQ(s.store.GetIeHttpProxy(), row.proxy) << row.server.value_or("(none)");
    }
    Store s;
    qputenv("HTTP_PROXY", "upper:8080");
    EXPECT_EQ(s.store.GetIeHttpProxy(), "upper:8080");
}

// The log-on command goes to the Run key (emptied, never deleted) and to the
// desktop's autostart entry (removed), its program path quoted for Exec.
TEST(SettingsStore, RunAtLogOn) {
    Store s;
    s.store.VerifyRegistry();
    const QString entry =
        QString::fromStdString(s.env.ConfigFolder() + "/autostart/brisamail.desktop");
    for (const auto& [command, exec] : std::vector<std::pair<std::string, std::string>>{
             {"/opt/brisamail/brisamail 1", R"("/opt/brisamail/brisamail" 1)"},
             {"/home/ann/My Programs/$Brisa/brisamail 1",
              R"("/home/ann/My Programs/\$Brisa/brisamail" 1)"},
             {"/opt/a\"b`c\\d/brisamail 1", R"("/opt/a\"b\`c\\d/brisamail" 1)"},
             {"", ""},
             {"", ""}}) {
        s.store.SetRunAtInitialization(command);
        EXPECT_EQ(s.Raw(kRunKey, "BrisaMail"), command + '\0');
        ASSERT_EQ(QFile::exists(entry), !exec.empty()) << command;
        if (!exec.empty()) {
            const std::string text = ReadFile(entry.toStdString());
            EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << text;
            EXPECT_NE(text.find("\nExec=" + exec + "\n"), std::string::npos) << text;
        }
    }
}

} // namespace
} // namespace brisa
