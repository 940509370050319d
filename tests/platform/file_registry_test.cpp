// The registry file: the bytes each kind of value line stands for, the line
// a value is written back as, and what a write does to the file on the disk.
#include "platform/file_registry.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QFile>

#include <csignal>
#include <filesystem>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace brisa {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempEnv;
using test::WriteFile;
using namespace std::string_literals;

constexpr RootKey LM = RootKey::LocalMachine;

// The value as a fresh store (nothing carried over) reads it.
std::optional<std::string> Query(const std::string& pFile, const std::string& pKey,
                                 const std::string& pName) {
    FileRegistry fresh(pFile);
    std::string data;
    if (!fresh.QueryValue(LM, pKey, pName, data))
        return std::nullopt;
    return data;
}

// Each row is a file of key K holding one line: the bytes the value reads as
// (none: the line cannot be read, the file is damaged) and the line it is
// written back as when another value is stored ("" when unchanged).
TEST(FileRegistry, ValueLines) {
    struct Row {
        std::string name, line;
        std::optional<std::string> bytes;
        std::string rewritten;
    };
    const std::vector<Row> rows = {
        {"V", R"("V"="Ann \"the voice\" Smith")", "Ann \"the voice\" Smith\0"s, ""},
        {"V", R"("V"="C:\\dir\\")", "C:\\dir\\\0"s, ""},
        {"V", R"("V"="a\b")", "a\\b\0"s, R"("V"="a\\b")"},
        {"V", "\"V\"=\"Zoë 日本語 😀\ttab\"", "Zoë 日本語 😀\ttab\0"s, ""},
        {"V", R"("V"="")", "\0"s, ""},
        {"V", R"("V"=hex(1):)", ""s, ""},
        {"V", R"("V"=hex(1):61,62,63)", "abc"s, ""},
        {"V", R"("V"=hex(1):41,00,42,00)", "A\0B\0"s, ""},
        {"V", R"("V"=hex(1):0d,0a,00)", "\r\n\0"s, ""},
        {"V", R"("V"=hex(1):63,e9,00)", "c\xe9\0"s, ""},
        {"", R"(@="default")", "default\0"s, ""},
        {"na\"me\\x = y", R"("na\"me\\x = y"="x")", "x\0"s, ""},
        {"v", "  \"v\" = \"Ann\"  \r", "Ann\0"s, R"("v"="Ann")"},
        {"V", "; a comment\n\"V\"=\"x\"", "x\0"s, R"("V"="x")"},
        {"v", "[hkey_local_machine\\k]\r\n\"v\"=\"again\"\r", "again\0"s, R"("v"="again")"},
        {"V", R"("V"=dword:0000000a)", "\x0a\0\0\0"s, ""},
        {"V", R"("V"=DWORD:ff)", "\xff\0\0\0"s, R"("V"=dword:000000ff)"},
        {"V", "\"V\"=hex:01,02,\\\n  03,04", "\x01\x02\x03\x04"s, R"("V"=hex:01,02,03,04)"},
        {"V", R"("V"=hex:)", ""s, ""},
        {"V", R"("V"=hex(2):41,00)", "A\0"s, ""},
        {"V", R"("V"="no closing quote)", std::nullopt, ""},
        {"V", R"("V"="text" more)", std::nullopt, ""},
        {"V", R"("V" "x")", std::nullopt, ""},
        {"V", R"("V"=-)", std::nullopt, ""},
        {"V", R"("V"=dword:xyz)", std::nullopt, ""},
        {"V", R"("V"=dword:123456789)", std::nullopt, ""},
        {"V", R"("V"=hex:1g,00)", std::nullopt, ""},
        {"V", "\"V\"=hex:01,\\", std::nullopt, ""},
        {"V", "garbage", std::nullopt, ""},
        {"V", "[HKEY_LOCAL_MACHINE\\K\n\"V\"=\"in no key\"", std::nullopt, ""},
        {"V", "[-HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"in no key\"", std::nullopt, ""},
    };
    const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n";
    for (const Row& row : rows) {
        TempEnv env;
        const std::string path = FileRegistry::DefaultPath(), text = head + row.line + "\n";
        WriteFile(path, text);
        bool damaged = false;
        FileRegistry::Parse(text, &damaged);
        EXPECT_EQ(damaged, !row.bytes) << row.line;
        EXPECT_EQ(Query(path, "K", row.name), row.bytes) << row.line;

        FileRegistry registry(path);
        ASSERT_TRUE(registry.SetValue(LM, "K", "W", "w\0"s)) << row.line;
        const std::string kept =
            !row.bytes ? "" : (row.rewritten.empty() ? row.line : row.rewritten) + "\n";
        EXPECT_EQ(ReadFile(path), head + kept + "\"W\"=\"w\"\n") << row.line;
        // What could not be read is kept beside the file.
        EXPECT_EQ(fs::exists(path + ".bak") ? ReadFile(path + ".bak") : "", row.bytes ? "" : text)
            << row.line;
        // The program's own write of the bytes reads back the same.
        if (row.bytes) {
            ASSERT_TRUE(registry.SetValue(LM, "K", row.name, *row.bytes)) << row.line;
            EXPECT_EQ(Query(path, "K", row.name), row.bytes) << row.line;
        }
    }
}

TEST(FileRegistry, TheFileOnTheDisk) {
    TempEnv env;
    const std::string folder = env.ConfigFolder() + "/brisamail", path = folder + "/registry.reg";
    ASSERT_EQ(FileRegistry::DefaultPath(), path);
    FileRegistry registry(path);
    std::string data;

    // No file is an empty registry; reads, and a value without its key,
    // create nothing.
    EXPECT_FALSE(registry.OpenKey(LM, "K"));
    EXPECT_FALSE(registry.QueryValue(LM, "K", "V", data));
    EXPECT_FALSE(registry.SetValue(LM, "K", "V", "x\0"s));
    EXPECT_FALSE(fs::exists(folder));

    // Keys exist through the keys below them; names ignore letter case,
    // beyond ASCII too; the root is part of the key.
    ASSERT_TRUE(registry.CreateKey(LM, "Ünï\\B\\C"));
    EXPECT_EQ(ReadFile(path), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Ünï\\B\\C]\n");
    EXPECT_TRUE(registry.OpenKey(LM, "üNÏ\\b"));
    EXPECT_FALSE(registry.OpenKey(LM, "Ünï\\BX"));
    EXPECT_FALSE(registry.OpenKey(RootKey::Users, "Ünï\\B"));
    ASSERT_TRUE(registry.SetValue(LM, "ÜNÏ\\B", "Größe", "1\0"s));
    EXPECT_EQ(Query(path, "ünï\\b", "GRÖßE"), "1\0"s);
    EXPECT_EQ(Query(path, "ünï\\b", "GROSSE"), std::nullopt);

    // A write replaces the file as a whole: whoever holds the old file
    // reads all of it, the mode stays, nothing else is left in the folder.
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string old = ReadFile(path);
    QFile held(QString::fromStdString(path));
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    ASSERT_TRUE(registry.SetValue(LM, "Ünï\\B", "Name", "Ann\0"s));
    EXPECT_EQ(held.readAll().toStdString(), old);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1); // no temporary file

    // A write that fails halfway (files may not grow past 4 KiB for a
    // moment, the super-user included) leaves the old file as it was.
    const std::string before = ReadFile(path);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = registry.SetValue(LM, "Ünï\\B", "Big", std::string(10000, 'x') + '\0');
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1); // no temporary file

    // Edits by hand are seen at the next read. Each damaged version is
    // kept in a backup of its own before the file is written over.
    WriteFile(path, "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"Name\"=\"Bob\"\r\n");
    ASSERT_TRUE(registry.QueryValue(LM, "k", "name", data));
    EXPECT_EQ(data, "Bob\0"s);
    for (const std::string backup : {".bak", ".bak.1"}) {
        const std::string damaged = ReadFile(path) + "garbage\n";
        WriteFile(path, damaged);
        ASSERT_TRUE(registry.SetValue(LM, "K", "Name", "Cid\0"s));
        EXPECT_EQ(ReadFile(path + backup), damaged);
    }

    // A batch's writes are read at once and reach the file together when
    // it is committed; one committed in the background is read meanwhile,
    // and a later write lands on top of it.
    const std::string settled = ReadFile(path);
    registry.BeginBatch();
    ASSERT_TRUE(registry.CreateKey(LM, "Run"));
    ASSERT_TRUE(registry.SetValue(LM, "Run", "BrisaMail", "x\0"s));
    registry.BeginBatch(); // joins the running one
    ASSERT_TRUE(registry.QueryValue(LM, "Run", "BrisaMail", data));
    EXPECT_EQ(data, "x\0"s);
    EXPECT_EQ(ReadFile(path), settled);
    ASSERT_TRUE(registry.CommitBatch());
    EXPECT_EQ(Query(path, "Run", "BrisaMail"), "x\0"s);
    registry.BeginBatch();
    ASSERT_TRUE(registry.SetValue(LM, "Run", "BrisaMail", "y\0"s));
    registry.CommitBatchInBackground();
    ASSERT_TRUE(registry.QueryValue(LM, "Run", "BrisaMail", data));
    EXPECT_EQ(data, "y\0"s);
    ASSERT_TRUE(registry.SetValue(LM, "Run", "After", "z\0"s));
    EXPECT_TRUE(registry.Settle());
    EXPECT_EQ(Query(path, "Run", "BrisaMail"), "y\0"s);
    EXPECT_EQ(Query(path, "Run", "After"), "z\0"s);

    // A linked file stays linked.
    const std::string real = env.Root() + "/dotfiles/registry.reg";
    WriteFile(real, ReadFile(path));
    fs::remove(path);
    fs::create_symlink(real, path);
    ASSERT_TRUE(registry.SetValue(LM, "K", "Name", "Dee\0"s));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Query(real, "K", "Name"), "Dee\0"s);

    // A registry that cannot be read (a folder in its place) is never
    // written over.
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_FALSE(registry.OpenKey(LM, "K"));
    EXPECT_FALSE(registry.CreateKey(LM, "New"));
    EXPECT_FALSE(registry.SetValue(LM, "K", "Name", "x\0"s));
    EXPECT_TRUE(fs::is_empty(path));
}

} // namespace
} // namespace brisa
