// The registry file: what is written, what is read back, hand edits,
// damaged files and failing writes.
#include "platform/file_registry.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brisa {
namespace {

using test::ReadFile;
using test::TempEnv;
using test::WriteFile;
using namespace std::string_literals;

constexpr RootKey LM = RootKey::LocalMachine;
const std::string kProgram = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";
const std::string kSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]";

class FileRegistryTest : public ::testing::Test {
protected:
    TempEnv env;
    std::string path = FileRegistry::DefaultPath();
    std::string folder = env.ConfigFolder() + "/brisamail";
    FileRegistry reg{path};

    // The value as a fresh store (no state carried over) reads it.
    std::string Read(const std::string& pName, const std::string& pKey = kProgram) {
        FileRegistry fresh(path);
        std::string data = "unset";
        if (!fresh.QueryValue(LM, pKey, pName, data))
            return "<missing>";
        return data;
    }

    std::vector<std::string> FolderEntries(const std::string& pFolder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(pFolder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void Write(const std::string& pText) { WriteFile(path, pText); }
};

// ---- location ------------------------------------------------------------------

TEST_F(FileRegistryTest, MissingFileIsAnEmptyRegistryAndReadsCreateNothing) {
    std::string data;
    EXPECT_FALSE(reg.OpenKey(LM, kProgram));
    EXPECT_FALSE(reg.QueryValue(LM, kProgram, "Name", data));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder)));
}

TEST_F(FileRegistryTest, SetValueNeedsAnExistingKeyAndLeavesTheFileAlone) {
    EXPECT_FALSE(reg.SetValue(LM, kProgram, "Name", "Ann\0"s));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    ASSERT_TRUE(reg.CreateKey(LM, "SOFTWARE\\Other"));
    const std::string before = ReadFile(path);
    EXPECT_FALSE(reg.SetValue(LM, kProgram, "Name", "Ann\0"s));
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(FileRegistryTest, WritesTheRegedit4Layout) {
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    ASSERT_TRUE(reg.CreateKey(RootKey::CurrentUser, "Software\\Test"));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Name", "Ann \"the voice\" Smith\0"s));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Odd", "A\0B\0"s));
    ASSERT_TRUE(reg.SetValue(RootKey::CurrentUser, "Software\\Test", "Path", "C:\\dir\\\0"s));
    EXPECT_EQ(ReadFile(path), "REGEDIT4\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\Test]\n"
                              "\"Path\"=\"C:\\\\dir\\\\\"\n"
                              "\n" +
                                  kSection +
                                  "\n"
                                  "\"Name\"=\"Ann \\\"the voice\\\" Smith\"\n"
                                  "\"Odd\"=hex(1):41,00,42,00\n");
}

// ---- round trips -------------------------------------------------------------------

TEST_F(FileRegistryTest, TrickyValuesReadBackByteForByte) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Quotes", "say \"hi\" \"\"\0"s},
        {"Backslashes", "\\\\server\\share\\\0"s},
        {"TrailingBackslash", "C:\\\0"s},
        {"Utf8", "Zoë Ångström 日本語 😀\0"s},
        {"EmbeddedNul", "abc\0def\0"s},
        {"EmptyText", "\0"s},
        {"NoBytes", ""s},
        {"NoTerminator", "abc"s},
        {"LineBreaks", "one\r\ntwo\nthree\r\0"s},
        {"NotUtf8", "caf\xe9\0"s},
        {"Control", "tab\there\x01\0"s},
        {"Brackets", "[HKEY_LOCAL_MACHINE\\X]\0"s},
        {"Spaces", "  padded  \0"s},
        {"na\"me\\with = signs", "x\0"s},
        {"", "default value\0"s},
    };
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    for (const auto& [name, bytes] : values)
        ASSERT_TRUE(reg.SetValue(LM, kProgram, name, bytes)) << name;
    for (const auto& [name, bytes] : values)
        EXPECT_EQ(Read(name), bytes) << name;

    const std::string file = ReadFile(path);
    EXPECT_NE(file.find("\n\"EmptyText\"=\"\"\n"), std::string::npos);
    EXPECT_NE(file.find("\n\"NoBytes\"=hex(1):\n"), std::string::npos);
    EXPECT_NE(file.find("\n\"NoTerminator\"=hex(1):61,62,63\n"), std::string::npos);
    EXPECT_NE(file.find("\n\"EmbeddedNul\"=hex(1):61,62,63,00,64,65,66,00\n"), std::string::npos);
    EXPECT_NE(file.find("\n\"Utf8\"=\"Zoë Ångström 日本語 😀\"\n"), std::string::npos);
    EXPECT_NE(file.find("\n@=\"default value\"\n"), std::string::npos);
    EXPECT_NE(file.find("\n\"na\\\"me\\\\with = signs\"=\"x\"\n"), std::string::npos);
    // Every line of the file is text: no NUL, CR or raw non-UTF-8 byte in it.
    EXPECT_EQ(file.find('\0'), std::string::npos);
    EXPECT_EQ(file.find('\r'), std::string::npos);
    EXPECT_EQ(file.find('\xe9'), std::string::npos);
}

TEST_F(FileRegistryTest, NamesCompareWithoutLetterCase) {
    ASSERT_TRUE(reg.CreateKey(LM, "Software\\Ünïcode Key"));
    ASSERT_TRUE(reg.SetValue(LM, "SOFTWARE\\üNÏCODE KEY", "Größe", "1\0"s));
    EXPECT_TRUE(reg.OpenKey(LM, "software\\ünïcode key"));
    EXPECT_EQ(Read("GRÖßE", "software\\ÜNÏCODE key"), "1\0"s);
    EXPECT_EQ(Read("GROSSE", "software\\ÜNÏCODE key"), "<missing>");
    // Roots are part of the key.
    EXPECT_FALSE(reg.OpenKey(RootKey::Users, "Software\\Ünïcode Key"));
}

TEST_F(FileRegistryTest, ParentKeysExistThroughTheirChildren) {
    ASSERT_TRUE(reg.CreateKey(LM, "A\\B\\C"));
    EXPECT_TRUE(reg.OpenKey(LM, "A\\B"));
    EXPECT_TRUE(reg.OpenKey(LM, "a"));
    EXPECT_FALSE(reg.OpenKey(LM, "A\\BX"));
    EXPECT_FALSE(reg.OpenKey(LM, "A\\B\\C\\D"));
    EXPECT_EQ(ReadFile(path), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\\B\\C]\n");
    // A value on a parent gives it a section of its own.
    ASSERT_TRUE(reg.SetValue(LM, "A\\B", "V", "x\0"s));
    EXPECT_EQ(Read("V", "A\\B"), "x\0"s);
}

// ---- hand edits -----------------------------------------------------------------

TEST_F(FileRegistryTest, HandEditsAreSeenOnTheNextRead) {
    Write("REGEDIT4\n\n" + kSection + "\n\"Name\"=\"Ann\"\n");
    EXPECT_EQ(Read("Name"), "Ann\0"s);
    std::string data;
    ASSERT_TRUE(reg.QueryValue(LM, kProgram, "Name", data));
    EXPECT_EQ(data, "Ann\0"s);

    Write("REGEDIT4\n\n" + kSection + "\n\"Name\"=\"Bob\"\n\"ShowZovid\"=\"Yes\"\n");
    ASSERT_TRUE(reg.QueryValue(LM, kProgram, "Name", data));
    EXPECT_EQ(data, "Bob\0"s);
    ASSERT_TRUE(reg.QueryValue(LM, kProgram, "ShowZovid", data));
    EXPECT_EQ(data, "Yes\0"s);

    ::unlink(path.c_str());
    EXPECT_FALSE(reg.QueryValue(LM, kProgram, "Name", data));
    EXPECT_FALSE(reg.OpenKey(LM, kProgram));
}

TEST_F(FileRegistryTest, ReadsWindowsStyleFilesWrittenByHand) {
    // Byte-order mark, CRLF line ends, blanks around the equals sign,
    // comments, lower-case section names, a key given twice.
    Write("\xEF\xBB\xBFREGEDIT4\r\n\r\n; written by hand\r\n"
          "[hkey_local_machine\\software\\brisamail, inc.\\brisamailer]\r\n"
          "\"Name\" = \"Ann\"\r\n"
          "  \"Email\"=\"ann@example.com\"  \r\n"
          "\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\r\n"
          "\"Name\"=\"Ann Smith\"\r\n");
    EXPECT_EQ(Read("Name"), "Ann Smith\0"s);
    EXPECT_EQ(Read("Email"), "ann@example.com\0"s);
    bool damaged = true;
    FileRegistry::Parse(ReadFile(path), &damaged);
    EXPECT_FALSE(damaged);
}

TEST_F(FileRegistryTest, DwordAndHexValuesReadAsTheirBytes) {
    Write("REGEDIT4\n\n"
          "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\n"
          "\"ProxyEnable\"=dword:00000001\n"
          "\"Ten\"=dword:0000000a\n"
          "\"Short\"=DWORD:ff\n"
          "\"Binary\"=hex:01,02,\\\n"
          "  03,04\n"
          "\"Expand\"=hex(2):41,00\n"
          "\"Empty\"=hex:\n");
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    std::string data;
    auto get = [&](const std::string& name) {
        data = "<missing>";
        reg.QueryValue(RootKey::CurrentUser, key, name, data);
        return data;
    };
    EXPECT_EQ(get("ProxyEnable"), "\x01\0\0\0"s);
    EXPECT_EQ(get("Ten"), "\x0a\0\0\0"s);
    EXPECT_EQ(get("Short"), "\xff\0\0\0"s);
    EXPECT_EQ(get("Binary"), "\x01\x02\x03\x04"s);
    EXPECT_EQ(get("Expand"), "A\0"s);
    EXPECT_EQ(get("Empty"), ""s);

    // Writing another value keeps these in the form they were written in.
    ASSERT_TRUE(reg.SetValue(RootKey::CurrentUser, key, "ProxyServer", "proxy:80\0"s));
    const std::string file = ReadFile(path);
    EXPECT_NE(file.find("\"ProxyEnable\"=dword:00000001\n"), std::string::npos);
    EXPECT_NE(file.find("\"Short\"=dword:000000ff\n"), std::string::npos);
    EXPECT_NE(file.find("\"Binary\"=hex:01,02,03,04\n"), std::string::npos);
    EXPECT_NE(file.find("\"Expand\"=hex(2):41,00\n"), std::string::npos);
    EXPECT_NE(file.find("\"ProxyServer\"=\"proxy:80\"\n"), std::string::npos);
    EXPECT_EQ(get("ProxyEnable"), "\x01\0\0\0"s);

    // A program write turns the value into text.
    ASSERT_TRUE(reg.SetValue(RootKey::CurrentUser, key, "ProxyEnable", "0\0"s));
    EXPECT_NE(ReadFile(path).find("\"ProxyEnable\"=\"0\"\n"), std::string::npos);
}

// ---- damaged files ------------------------------------------------------------------

std::string DamagedFile() {
    return "REGEDIT4\n"
           "\n"
           "\"Orphan\"=\"before any key\"\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n"
           "\"Name\"=\"Ann\"\n"
           "this line is garbage\n"
           "\"Broken\"=\"no closing quote\n"
           "\"BadDword\"=dword:xyz\n"
           "\"TooLong\"=dword:123456789\n"
           "\"BadHex\"=hex:1g,00\n"
           "\"Deleted\"=-\n"
           "\"Trailing\"=\"text\" more\n"
           "\"NoEquals\" \"x\"\n"
           "\"Email\"=\"ann@example.com\"\n"
           "[HKEY_LOCAL_MACHINE\\Unterminated\n"
           "\"Stray\"=\"belongs to no key\"\n"
           "[-HKEY_LOCAL_MACHINE\\Removed]\n"
           "\"Stray2\"=\"x\"\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BrisaMail, Inc.\\BrisaMailer]\n"
           "\"Note\"=\"kept\"\n"
           "\"Cut\"=hex:01,\\\n";
}

TEST_F(FileRegistryTest, UnreadableLinesAreLeftOutOfTheValues) {
    Write(DamagedFile());
    EXPECT_EQ(Read("Name"), "Ann\0"s);
    EXPECT_EQ(Read("Email"), "ann@example.com\0"s);
    EXPECT_EQ(Read("Note"), "kept\0"s);
    for (const char* name : {"Orphan", "Broken", "BadDword", "TooLong", "BadHex", "Deleted",
                             "Trailing", "NoEquals", "Stray", "Stray2", "Cut"})
        EXPECT_EQ(Read(name), "<missing>") << name;
    EXPECT_FALSE(reg.OpenKey(LM, "Unterminated"));

    bool damaged = false;
    FileRegistry::Parse(DamagedFile(), &damaged);
    EXPECT_TRUE(damaged);
}

TEST_F(FileRegistryTest, DamagedFileIsBackedUpBeforeTheFirstWrite) {
    Write(DamagedFile());
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "MyValue", "new\0"s));
    EXPECT_EQ(ReadFile(path + ".bak"), DamagedFile());

    // The rewritten file holds what could be read plus the new value.
    EXPECT_EQ(Read("Name"), "Ann\0"s);
    EXPECT_EQ(Read("Note"), "kept\0"s);
    EXPECT_EQ(Read("MyValue"), "new\0"s);
    bool damaged = true;
    FileRegistry::Parse(ReadFile(path), &damaged);
    EXPECT_FALSE(damaged);

    // A clean file is written over without further copies.
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "MyValue", "newer\0"s));
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"registry.reg", "registry.reg.bak"}));

    // Damaged again by hand: the next copy gets a number, the first stays.
    Write(ReadFile(path) + "garbage again\n");
    const std::string second = ReadFile(path);
    ASSERT_TRUE(reg.CreateKey(LM, "SOFTWARE\\Another"));
    EXPECT_EQ(ReadFile(path + ".bak"), DamagedFile());
    EXPECT_EQ(ReadFile(path + ".bak.1"), second);
    Write(ReadFile(path) + "[broken\n");
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "MyValue", "third\0"s));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path + ".bak.2")));
    EXPECT_EQ(Read("MyValue"), "third\0"s);
}

// ---- writing -----------------------------------------------------------------------

TEST_F(FileRegistryTest, EveryWriteReplacesTheFileAndLeavesNoTemporaryFiles) {
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    // A reader holding the old file keeps seeing the whole old file.
    QFile old(QString::fromStdString(path));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(reg.SetValue(LM, kProgram, "V" + std::to_string(i), std::to_string(i) + '\0'));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(old.readAll().toStdString(), "REGEDIT4\n\n" + kSection + "\n");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
    EXPECT_EQ(Read("V19"), "19\0"s);
}

TEST_F(FileRegistryTest, BatchWritesReachTheFileTogetherWhenCommitted) {
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Kept", "old\0"s));
    const std::string before = ReadFile(path);

    reg.BeginBatch();
    ASSERT_TRUE(reg.CreateKey(LM, "SOFTWARE\\Run"));
    ASSERT_TRUE(reg.SetValue(LM, "SOFTWARE\\Run", "BrisaMail", "\0"s));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Kept", "new\0"s));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Kept", "newer\0"s));
    reg.BeginBatch(); // joins the running batch
    // The store reads its own writes; the file is as it was.
    std::string data;
    ASSERT_TRUE(reg.QueryValue(LM, kProgram, "Kept", data));
    EXPECT_EQ(data, "newer\0"s);
    EXPECT_TRUE(reg.OpenKey(LM, "SOFTWARE\\Run"));
    EXPECT_EQ(ReadFile(path), before);

    ASSERT_TRUE(reg.CommitBatch());
    EXPECT_EQ(Read("Kept"), "newer\0"s);
    EXPECT_EQ(Read("BrisaMail", "SOFTWARE\\Run"), "\0"s);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
    // After the batch every write goes to the file at once again.
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Kept", "last\0"s));
    EXPECT_EQ(Read("Kept"), "last\0"s);
    // A batch without writes leaves the file alone.
    const std::string settled = ReadFile(path);
    reg.BeginBatch();
    EXPECT_TRUE(reg.OpenKey(LM, kProgram));
    ASSERT_TRUE(reg.CommitBatch());
    EXPECT_EQ(ReadFile(path), settled);

    // Committed in the background: the store reads the batch meanwhile, and
    // the file holds it once settled.
    reg.BeginBatch();
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Later", "1\0"s));
    reg.CommitBatchInBackground();
    ASSERT_TRUE(reg.QueryValue(LM, kProgram, "Later", data));
    EXPECT_EQ(data, "1\0"s);
    EXPECT_TRUE(reg.Settle());
    EXPECT_EQ(Read("Later"), "1\0"s);
    // A write after it lands on top of it.
    reg.BeginBatch();
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Later", "2\0"s));
    reg.CommitBatchInBackground();
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "After", "3\0"s));
    EXPECT_EQ(Read("Later"), "2\0"s);
    EXPECT_EQ(Read("After"), "3\0"s);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
}

TEST_F(FileRegistryTest, BatchOverADamagedFileBacksItUpOnce) {
    Write(DamagedFile());
    reg.BeginBatch();
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "A", "1\0"s));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "B", "2\0"s));
    EXPECT_EQ(ReadFile(path), DamagedFile());
    ASSERT_TRUE(reg.CommitBatch());
    EXPECT_EQ(ReadFile(path + ".bak"), DamagedFile());
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"registry.reg", "registry.reg.bak"}));
    EXPECT_EQ(Read("Name"), "Ann\0"s);
    EXPECT_EQ(Read("B"), "2\0"s);
}

TEST_F(FileRegistryTest, FileModeIsKeptAcrossWrites) {
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Name", "Ann\0"s));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileRegistryTest, LinkedFileStaysLinked) {
    const std::string real = env.Root() + "/dotfiles/registry.reg";
    WriteFile(real, "REGEDIT4\n\n" + kSection + "\n");
    QDir().mkpath(QString::fromStdString(folder));
    ASSERT_EQ(::symlink(real.c_str(), path.c_str()), 0);
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Name", "Ann\0"s));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_NE(ReadFile(real).find("\"Name\"=\"Ann\""), std::string::npos);
    EXPECT_EQ(Read("Name"), "Ann\0"s);
}

TEST_F(FileRegistryTest, WriteThatFailsHalfwayKeepsTheOldFile) {
    // Files may not grow beyond 4 KiB for a moment, so writing the new file
    // fails after its first part; the super-user is bound by this too.
    ASSERT_TRUE(reg.CreateKey(LM, kProgram));
    ASSERT_TRUE(reg.SetValue(LM, kProgram, "Name", "Ann\0"s));
    const std::string before = ReadFile(path);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = reg.SetValue(LM, kProgram, "Big", std::string(10000, 'x') + '\0');
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
    EXPECT_EQ(Read("Big"), "<missing>");
}

TEST_F(FileRegistryTest, RegistryThatCannotBeReadIsNeverWrittenOver) {
    // A folder where the file should be.
    QDir().mkpath(QString::fromStdString(path));
    WriteFile(path + "/keep.txt", "precious");
    std::string data;
    EXPECT_FALSE(reg.OpenKey(LM, kProgram));
    EXPECT_FALSE(reg.QueryValue(LM, kProgram, "Name", data));
    EXPECT_FALSE(reg.CreateKey(LM, kProgram));
    EXPECT_FALSE(reg.SetValue(LM, kProgram, "Name", "x\0"s));
    EXPECT_EQ(ReadFile(path + "/keep.txt"), "precious");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
}

// ---- parse and format ----------------------------------------------------------------

TEST(FileRegistryFormat, FormatOfParseGivesTheSameText) {
    const std::string text = "REGEDIT4\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\X]\n"
                             "@=\"default\"\n"
                             "\"A\"=dword:0000000a\n"
                             "\"B\"=hex:00,ff\n"
                             "\"C\"=hex(1):41\n"
                             "\"D\"=\"q\\\"b\\\\\"\n"
                             "\n"
                             "[HKEY_LOCAL_MACHINE\\Empty]\n";
    bool damaged = true;
    const auto content = FileRegistry::Parse(text, &damaged);
    EXPECT_FALSE(damaged);
    ASSERT_EQ(content.size(), 2u);
    EXPECT_EQ(FileRegistry::Format(content), text);
    EXPECT_EQ(FileRegistry::Format({}), "REGEDIT4\n");
    bool emptyDamaged = true;
    EXPECT_TRUE(FileRegistry::Parse("", &emptyDamaged).empty());
    EXPECT_FALSE(emptyDamaged);
}

} // namespace
} // namespace brisa
