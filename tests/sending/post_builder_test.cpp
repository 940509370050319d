// The post file: its bytes, its optional rows, its name and its failures.
#include "sending/post_builder.h"

#include "language/translation.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brisa {
namespace {

using test::ReadFile;
using test::WriteFile;

constexpr const char* kCrLf = "\r\n";

std::tm Time(int pYear, int pMonth, int pDay, int pHour, int pMinute, int pSecond) {
    std::tm t{};
    t.tm_year = pYear - 1900;
    t.tm_mon = pMonth - 1;
    t.tm_mday = pDay;
    t.tm_hour = pHour;
    t.tm_min = pMinute;
    t.tm_sec = pSecond;
    return t;
}

// Sets one locale variable for the life of the object.
class LocaleVariable {
public:
    LocaleVariable(const char* pName, const char* pValue) : m_Name(pName) {
        if (const char* old = std::getenv(pName))
            m_Old = old;
        m_Had = std::getenv(pName) != nullptr;
        if (pValue)
            ::setenv(pName, pValue, 1);
        else
            ::unsetenv(pName);
    }
    ~LocaleVariable() {
        if (m_Had)
            ::setenv(m_Name.c_str(), m_Old.c_str(), 1);
        else
            ::unsetenv(m_Name.c_str());
    }

private:
    std::string m_Name, m_Old;
    bool m_Had = false;
};

std::vector<std::string> FolderEntries(const std::string& pFolder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(pFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class PostBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Store = std::make_unique<cRegistry>(m_Registry, nullptr);
        m_OldRegistry = gRegistry;
        gRegistry = m_Store.get();
        m_OldLanguage = gLanguageId;
        gLanguageId = "00000409";
        Translation.Clear();
        Translation.Add({"mail0001", "Voice message"});
        Translation.Add({"mail0002", "Listen to my message."});
        QDir().mkpath(QString::fromStdString(m_Env.Path("outbox")));
        m_System.userName = "ann";
        m_System.bias = -60;
        Put("Email", "ann@example.com");
        m_Request.to = "bob@example.com";
        m_Request.programFolder = m_Env.ProgramFolder();
        m_Request.system = &m_System;
        m_Request.clock = [this] { return m_Now; };
        WriteFile(Archive(), "PK");
    }
    void TearDown() override {
        gRegistry = m_OldRegistry;
        gLanguageId = m_OldLanguage;
        Translation.Clear();
    }

    void Put(const std::string& pName, const std::string& pValue) {
        m_Registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue);
    }
    std::string Archive() const { return m_Env.Path("in.zip"); }
    std::string Outbox() const { return m_Env.Path("outbox"); }

    // Builds a post; its bytes, or "" when none was written.
    std::string Build(std::string pSubject = "Hello", int* pResult = nullptr) {
        std::string file = Archive();
        const int result = BuildPost(m_Request, pSubject, file);
        if (pResult)
            *pResult = result;
        m_LastSubject = pSubject;
        m_LastFile = file;
        return result == kPostWritten ? ReadFile(file) : std::string();
    }

    // The rows of the mail-like header part (rows 9 to 21).
    std::vector<std::string> HeaderRows(const std::string& pPost) {
        const std::string start = std::string("Content-Type: text/plain") + kCrLf + kCrLf;
        auto from = pPost.find(start);
        std::vector<std::string> rows;
        if (from == std::string::npos)
            return rows;
        from += start.size();
        const auto end = pPost.find(std::string(kCrLf) + kCrLf, from);
        std::string block = pPost.substr(from, end - from + 2);
        size_t pos = 0;
        while (pos < block.size()) {
            const auto eol = block.find(kCrLf, pos);
            rows.push_back(block.substr(pos, eol - pos));
            pos = eol + 2;
        }
        return rows;
    }

    bool HasRow(const std::string& pPost, const std::string& pRow) {
        const auto rows = HeaderRows(pPost);
        return std::find(rows.begin(), rows.end(), pRow) != rows.end();
    }

    bool HasRowStarting(const std::string& pPost, const std::string& pPrefix) {
        const auto rows = HeaderRows(pPost);
        return std::any_of(rows.begin(), rows.end(),
                           [&](const std::string& r) { return r.rfind(pPrefix, 0) == 0; });
    }

    LocaleVariable m_EnglishDates{"LC_ALL", "C"};
    test::TempEnv m_Env;
    test::MemoryRegistry m_Registry;
    std::unique_ptr<cRegistry> m_Store;
    cRegistry* m_OldRegistry = nullptr;
    std::string m_OldLanguage;
    test::FakeSystemInfo m_System;
    PostRequest m_Request;
    std::tm m_Now = Time(1999, 3, 14, 15, 29, 7);
    std::string m_LastSubject, m_LastFile;
    std::string m_Subject = "Hello";
};

// ---- the whole file -----------------------------------------------------------

TEST_F(PostBuilderTest, WritesTheWholePostByteForByte) {
    Put("Name", "Zo\xC3\xAB Smith"); // UTF-8 ë, written as the Windows-1252 byte 0xEB
    Put("Cc", "boss@example.com");
    Put("Organization", "Example Ltd");
    Put("DistributorCode", "D42");
    Put("Note", "Call me back.");
    m_Request.to = "bob@example.com, carl@example.org";
    m_Request.cc = "dora@example.net";
    m_Request.returnReceipt = 1;
    const std::string archive("PK\x03\x04\r\n\0\n\r\xFF\x80z", 12);
    WriteFile(Archive(), archive);

    int result = -1;
    const std::string post = Build("Hello", &result);
    ASSERT_EQ(result, kPostWritten);
    EXPECT_EQ(m_LastFile, Outbox() + "/990314152907.txt");

    const std::string body =
        "--------BrisaPost\r\n"
        "Content-Disposition: form-data; name=\"header\"; filename=\"header.txt\"\r\n"
        "Content-Type: text/plain\r\n"
        "\r\n"
        "To: bob@example.com, carl@example.org\r\n"
        "From: \"Zo\xEB Smith\" <ann@example.com>\r\n"
        "Subject: Hello\r\n"
        "Date: Sun, 14 Mar 1999 15:29 0100\r\n"
        "Cc: dora@example.net, boss@example.com\r\n"
        "X-Organization: Example Ltd\r\n"
        "X-Return-Receipt: Yes\r\n"
        "X-Language: 00000409\r\n"
        "X-Mailer: BrisaMailer\r\n"
        "X-MailerVersion: 2.0.0\r\n"
        "X-TSworking: Yes\r\n"
        "X-Distributor: D42\r\n"
        "X-UniqueId: ann\r\n"
        "\r\n"
        "Call me back.\r\n"
        "\r\n"
        "--------BrisaPost\r\n"
        "Content-Disposition: form-data; name=\"body\"; filename=\"in.zip\"\r\n"
        "Content-Type: application/x-zip-compressed\r\n"
        "\r\n" +
        archive +
        "\r\n"
        "\r\n"
        "--------BrisaPost--\r\n";
    ASSERT_EQ(body.size(), 645u); // 633 text bytes + 12 archive bytes
    const std::string expected = "User-Agent: BrisaMail Client\r\n"
                                 "Content-Type: multipart/form-data; boundary=------BrisaPost\r\n"
                                 "Content-Length: 645\r\n"
                                 "\r\n" +
                                 body;
    EXPECT_EQ(post, expected);
    struct stat info {};
    ASSERT_EQ(::stat(m_LastFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u); // the owner's only
}

// ---- rows that depend on the settings, the request and the system ---------------

// Whatever a caller or a setting passes (another program's reply request, a
// hand-edited settings file), no value can end its row early and start a
// row of its own: every control character is written as a blank.
TEST_F(PostBuilderTest, RowsFollowTheSettingsTheRequestAndTheSystem) {
    struct Case {
        std::function<void()> set;
        std::string row;    // a row that must be there
        std::string absent; // the start of a row that must not ("" none)
    };
    const std::vector<Case> cases = {
        {[] {}, "From: ann@example.com", "Cc:"},
        {[] {}, "X-TSworking: Yes", "X-Organization:"},
        {[this] {
             m_Request.cc = "a@x.org";
             Put("Cc", "b@y.org");
         },
         "Cc: a@x.org, b@y.org", ""},
        {[this] {
             m_Request.cc = "  a@x.org  ";
             Put("Cc", "   ");
         },
         "Cc: a@x.org", ""},
        {[this] { Put("Cc", " b@y.org "); }, "Cc:  b@y.org ", ""},
        {[this] { m_Request.cc = "   "; }, "To: bob@example.com", "Cc:"},
        {[this] { m_Request.returnReceipt = 2; }, "X-UniqueId: ann", "X-Return-Receipt"},
        {[this] { m_Request.bannerMarker = "off"; }, "X-TSworking: No", ""},
        {[] { gLanguageId = "00000407"; }, "X-Language: 00000407", ""},
        {[this] { m_Subject.clear(); }, "Subject: Voice message", ""},
        {[this] {
             m_Subject.clear();
             Translation.Clear();
         },
         "Subject: ", ""},
        {[this] { m_System.bias = 300; }, "Date: Sun, 14 Mar 1999 15:29 -0500", ""},
        {[this] { m_System.hasBias = false; }, "Date: Sun, 14 Mar 1999 15:29 -0000", ""},
        {[this] {
             m_System.hasUser = false;
             Put("Name", "Ann Smith");
         },
         "X-UniqueId: Ann Smith", ""},
        {[this] { m_Request.system = nullptr; }, "X-UniqueId: ", ""},
        {[this] { m_System.userName = std::string("ann\0junk", 8); }, "X-UniqueId: ann", ""},
        {[] { gRegistry = nullptr; }, "From: ", "X-Organization:"},
        {[this] { Put("Name", "\xE6\x9D\x8E \xE2\x82\xAC"); }, "From: \"? \x80\" <ann@example.com>",
         ""},
        // control characters
        {[this] { m_Request.to = "Hi\r\nCc: eve@evil.example"; }, "To: Hi  Cc: eve@evil.example",
         "Cc:"},
        {[this] { m_Request.cc = "a@x.org\nBcc: spy@evil.example"; },
         "Cc: a@x.org Bcc: spy@evil.example", "Bcc:"},
        {[this] {
             m_Subject = "a\xC2\x85"
                         "b\xE2\x80\xA8"
                         "c\xE2\x80\xA9"
                         "d";
         },
         "Subject: a b c d", ""},
        {[this] { Put("Name", "Ann\"\r\nBcc: x@y.org"); },
         "From: \"Ann\"  Bcc: x@y.org\" <ann@example.com>", "Bcc:"},
        {[this] {
             Put("Organization", "A\tB\x7F"
                                 "C\x1B[31m");
         },
         "X-Organization: A B C [31m", ""},
        {[this] { Put("DistributorCode", "D42\r\n\r\nbody"); }, "X-Distributor: D42    body", ""},
        {[this] {
             m_System.userName = "ann\x0B\x0C"
                                 "x";
         },
         "X-UniqueId: ann  x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        m_Subject = "Hello";
        c.set();
        const std::string subject = m_Subject;
        const std::string post = Build(m_Subject);
        const auto rows = HeaderRows(post);
        size_t expected = 10; // and one for each optional row written
        for (const char* optional : {"Cc:", "X-Organization:", "X-Return-Receipt:"})
            expected += HasRowStarting(post, optional) ? 1 : 0;
        EXPECT_EQ(rows.size(), expected);
        EXPECT_TRUE(HasRow(post, c.row));
        if (!c.absent.empty()) {
            EXPECT_FALSE(HasRowStarting(post, c.absent));
        }
        for (const auto& row : rows)
            EXPECT_TRUE(std::none_of(row.begin(), row.end(), [](char ch) {
                return static_cast<unsigned char>(ch) < 0x20;
            })) << row;
        if (!subject.empty()) {
            EXPECT_EQ(m_LastSubject, subject); // the caller's text comes back as it was
        }
        // back to the fixture's state
        gRegistry = m_Store.get();
        gLanguageId = "00000409";
        Translation.Clear();
        Translation.Add({"mail0001", "Voice message"});
        Translation.Add({"mail0002", "Listen to my message."});
        m_Request.to = "bob@example.com";
        m_Request.cc.clear();
        m_Request.returnReceipt = 0;
        m_Request.bannerMarker.clear();
        m_Request.system = &m_System;
        m_System = test::FakeSystemInfo();
        m_System.userName = "ann";
        m_System.bias = -60;
        for (const char* name : {"Cc", "Name", "Organization", "DistributorCode"})
            Put(name, "");
        m_Registry.Put(RootKey::LocalMachine, kProgramKey, "Email", "ann@example.com");
    }
}

TEST_F(PostBuilderTest, NoteFromSettingOrDefault) {
    Put("Note", "Bye now");
    EXPECT_NE(Build().find("\r\n\r\nBye now\r\n\r\n--------BrisaPost\r\n"), std::string::npos);
    Put("Note", "    ");
    EXPECT_NE(Build().find("\r\n\r\nListen to my message.\r\n\r\n--------BrisaPost\r\n"),
              std::string::npos);
}

TEST(PostZoneAndNames, Tables) {
    const std::pair<int, const char*> zones[] = {
        {0, "-0000"},   {-60, "0100"},  {300, "-0500"}, {-330, "0600"}, {570, "-1000"},
        {-570, "1000"}, {15, "-0000"},  {45, "-0100"},  {30, "-0100"},  {-30, "0100"},
        {90, "-0200"},  {-765, "1300"}, {-840, "1400"}, {720, "-1200"},
    };
    for (const auto& [bias, zone] : zones)
        EXPECT_EQ(PostZone(bias), zone) << "bias " << bias;
    LocaleVariable c("LC_ALL", "C");
    EXPECT_EQ(PostDate(Time(2021, 2, 1, 9, 5, 59)), "Mon, 01 Feb 2021 09:05");
    EXPECT_EQ(PostDate(Time(2024, 2, 29, 23, 59, 0)), "Thu, 29 Feb 2024 23:59");
    EXPECT_EQ(PostFileName(Time(2000, 1, 2, 3, 4, 5)), "000102030405.txt");
    EXPECT_EQ(PostFileName(Time(2031, 12, 31, 23, 59, 59)), "311231235959.txt");
}

// A post never replaces another: the next free second is taken, over the
// end of a minute and of a year.
TEST_F(PostBuilderTest, APostTakesTheNextFreeSecond) {
    WriteFile(Outbox() + "/990314152907.txt", "older post");
    Build("first");
    EXPECT_EQ(m_LastFile, Outbox() + "/990314152908.txt");
    Build("second");
    EXPECT_EQ(m_LastFile, Outbox() + "/990314152909.txt");
    EXPECT_EQ(ReadFile(Outbox() + "/990314152907.txt"), "older post");
    EXPECT_TRUE(HasRow(ReadFile(Outbox() + "/990314152908.txt"), "Subject: first"));
    m_Now = Time(1999, 12, 31, 23, 59, 59);
    WriteFile(Outbox() + "/991231235959.txt", "taken");
    Build();
    EXPECT_EQ(m_LastFile, Outbox() + "/000101000000.txt");
    for (const auto& name : FolderEntries(Outbox()))
        EXPECT_NE(name.front(), '.') << name; // no temporary file left behind
}

TEST_F(PostBuilderTest, FailuresWriteNothing) {
    struct Case {
        const char* what;
        std::function<void()> set;
        int result;
        bool fileCleared;
    };
    const std::vector<Case> cases = {
        {"no archive", [this] { ::unlink(Archive().c_str()); }, kPostArchiveMissing, false},
        {"no outbox", [this] { QDir(QString::fromStdString(Outbox())).removeRecursively(); },
         kPostNotWritable, true},
        {"outbox is a file",
         [this] {
             QDir(QString::fromStdString(Outbox())).removeRecursively();
             WriteFile(Outbox(), "not a folder");
         },
         kPostNotWritable, true},
        {"archive is a folder",
         [this] {
             ::unlink(Archive().c_str());
             QDir().mkpath(QString::fromStdString(Archive()));
         },
         kPostArchiveUnreadable, false},
        {"archive is a pipe",
         [this] {
             ::unlink(Archive().c_str());
             ASSERT_EQ(::mkfifo(Archive().c_str(), 0600), 0);
         },
         kPostArchiveUnreadable, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.set();
        std::string subject, file = Archive();
        EXPECT_EQ(BuildPost(m_Request, subject, file), c.result);
        EXPECT_EQ(file, c.fileCleared ? "" : Archive());
        if (c.result == kPostArchiveMissing) {
            EXPECT_EQ(subject, ""); // not even the default subject was fetched
        }
        if (QFileInfo(QString::fromStdString(Outbox())).isDir()) {
            EXPECT_TRUE(FolderEntries(Outbox()).empty());
        }
        QDir(QString::fromStdString(Archive())).removeRecursively();
        ::unlink(Archive().c_str());
        ::unlink(Outbox().c_str());
        QDir().mkpath(QString::fromStdString(Outbox()));
        WriteFile(Archive(), "PK");
    }
}

} // namespace
} // namespace brisa
