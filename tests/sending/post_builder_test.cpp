// The post file: its bytes, its optional rows, its name and its failures.
#include "sending/post_builder.h"

#include "language/translation.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
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

TEST_F(PostBuilderTest, AnEmptyArchiveLeavesOnlyTheTextRows) {
    WriteFile(Archive(), "");
    const std::string post = Build();
    const std::string tail = "Content-Type: application/x-zip-compressed\r\n\r\n\r\n\r\n"
                             "--------BrisaPost--\r\n";
    ASSERT_GE(post.size(), tail.size());
    EXPECT_EQ(post.substr(post.size() - tail.size()), tail);
    const auto bodyStart = post.find("\r\n\r\n") + 4;
    EXPECT_NE(post.find("Content-Length: " + std::to_string(post.size() - bodyStart) + "\r\n"),
              std::string::npos);
}

TEST_F(PostBuilderTest, ContentLengthCountsEveryArchiveByteOnce) {
    std::string archive;
    for (int i = 0; i < 4096; ++i)
        archive += static_cast<char>(i % 256);
    WriteFile(Archive(), archive);
    const std::string post = Build();
    const auto bodyStart = post.find("\r\n\r\n") + 4;
    EXPECT_NE(post.find("Content-Length: " + std::to_string(post.size() - bodyStart) + "\r\n"),
              std::string::npos);
    EXPECT_NE(post.find("\r\n\r\n" + archive + "\r\n\r\n--------BrisaPost--\r\n"),
              std::string::npos);
}

TEST_F(PostBuilderTest, TheArchiveNameIsTheLastPartOfItsPath) {
    WriteFile(m_Env.Path("work/voice.zip"), "PK");
    std::string subject = "s", file = m_Env.Path("work/voice.zip");
    ASSERT_EQ(BuildPost(m_Request, subject, file), kPostWritten);
    EXPECT_NE(ReadFile(file).find("name=\"body\"; filename=\"voice.zip\"\r\n"), std::string::npos);
}

// ---- rows that depend on the settings and the request --------------------------

TEST_F(PostBuilderTest, CopyListMergesTheRequestAndTheSetting) {
    struct Case {
        std::string cc, myCc, row; // "" row: no Cc row at all
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"   ", "", ""},
        {"a@x.org", "b@y.org", "Cc: a@x.org, b@y.org"},
        {"  a@x.org  ", "   ", "Cc: a@x.org"},
        {"", "b@y.org", "Cc: b@y.org"},
        {"", " b@y.org ", "Cc:  b@y.org "},
        {"a@x.org, c@z.org", "", "Cc: a@x.org, c@z.org"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("cc='" + c.cc + "' MyCc='" + c.myCc + "'");
        Put("Cc", c.myCc);
        m_Request.cc = c.cc;
        const std::string post = Build();
        if (c.row.empty())
            EXPECT_FALSE(HasRowStarting(post, "Cc:"));
        else
            EXPECT_TRUE(HasRow(post, c.row));
    }
}

TEST_F(PostBuilderTest, OptionalAndDerivedRows) {
    struct Case {
        std::function<void()> set;
        std::string row;    // a row that must be there
        std::string absent; // the start of a row that must not ("" none)
    };
    const std::vector<Case> cases = {
        {[] {}, "From: ann@example.com", "X-Organization:"},
        {[this] { Put("Name", "Ann"); }, "From: \"Ann\" <ann@example.com>", ""},
        {[this] { Put("Organization", "ACME"); }, "X-Organization: ACME", ""},
        {[this] { m_Request.returnReceipt = 0; }, "X-Distributor: ", "X-Return-Receipt"},
        {[this] { m_Request.returnReceipt = 2; }, "X-TSworking: Yes", "X-Return-Receipt"},
        {[this] { m_Request.returnReceipt = 1; }, "X-Return-Receipt: Yes", ""},
        {[this] { m_Request.bannerMarker = "off"; }, "X-TSworking: No", ""},
        {[] { gLanguageId = "00000407"; }, "X-Language: 00000407", ""},
        {[] {}, "X-MailerVersion: 2.0.0", ""},
        {[] {}, "X-Mailer: BrisaMailer", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        c.set();
        const std::string post = Build();
        EXPECT_TRUE(HasRow(post, c.row));
        if (!c.absent.empty()) {
            EXPECT_FALSE(HasRowStarting(post, c.absent));
        }
    }
}

// Whatever a caller or a setting passes (another program's reply request, a
// hand-edited settings file), no value can end its row early and start a
// row of its own: every control character is written as a blank.
TEST_F(PostBuilderTest, NoValueCanStartARowOfItsOwn) {
    struct Case {
        std::function<void()> set;
        std::string row;
    };
    const std::vector<Case> cases = {
        {[this] { m_Request.to = "Hi\r\nCc: eve@evil.example"; }, "To: Hi  Cc: eve@evil.example"},
        {[this] { m_Request.cc = "a@x.org\nBcc: spy@evil.example"; },
         "Cc: a@x.org Bcc: spy@evil.example"},
        {[this] { Put("Cc", "b@y.org\rX-Spam: 1"); }, "Cc: b@y.org X-Spam: 1"},
        {[this] { m_Subject = "Hi\r\nCc: eve@evil.example"; }, "Subject: Hi  Cc: eve@evil.example"},
        {[this] {
             m_Subject = "a\xC2\x85"
                         "b\xE2\x80\xA8"
                         "c\xE2\x80\xA9"
                         "d";
         },
         "Subject: a b c d"},
        {[this] { Put("Name", "Ann\"\r\nBcc: x@y.org"); },
         "From: \"Ann\"  Bcc: x@y.org\" <ann@example.com>"},
        {[this] { Put("Email", "ann@example.com\nBcc: x@y.org"); },
         "From: ann@example.com Bcc: x@y.org"},
        {[this] {
             Put("Organization", "A\tB\x7F"
                                 "C\x1B[31m");
         },
         "X-Organization: A B C [31m"},
        {[this] { Put("DistributorCode", "D42\r\n\r\nbody"); }, "X-Distributor: D42    body"},
        {[this] {
             m_System.userName = "ann\x0B\x0C"
                                 "x";
         },
         "X-UniqueId: ann  x"},
        {[] { gLanguageId = "00000409\r\nX-Evil: 1"; }, "X-Language: 00000409  X-Evil: 1"},
    };
    auto reset = [this] {
        m_Request.to = "bob@example.com";
        m_Request.cc.clear();
        for (const char* name : {"Cc", "Name", "Organization", "DistributorCode"})
            Put(name, "");
        Put("Email", "ann@example.com");
        m_System.userName = "ann";
        gLanguageId = "00000409";
    };
    const size_t rows = HeaderRows(Build()).size();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        m_Subject = "Hello";
        c.set();
        const std::string post = Build(m_Subject);
        const auto written = HeaderRows(post);
        EXPECT_TRUE(HasRow(post, c.row));
        // No row more than the values call for (the Cc cases add their own).
        EXPECT_LE(written.size(), rows + 1);
        for (const auto& row : written)
            EXPECT_TRUE(std::none_of(row.begin(), row.end(), [](char ch) {
                return static_cast<unsigned char>(ch) < 0x20;
            })) << row;
        // The text a caller gets back is its own.
        EXPECT_EQ(m_LastSubject, m_Subject);
        reset();
    }
    // The archive's name, too.
    const std::string archive = m_Env.Path("a\r\nX-Evil: 1.zip");
    WriteFile(archive, "PK");
    std::string subject = "s", file = archive;
    ASSERT_EQ(BuildPost(m_Request, subject, file), kPostWritten);
    EXPECT_NE(ReadFile(file).find("filename=\"a  X-Evil: 1.zip\"\r\n"), std::string::npos);
}

TEST_F(PostBuilderTest, EmptySubjectTakesTheDefaultAndHandsItBack) {
    const std::string post = Build("");
    EXPECT_TRUE(HasRow(post, "Subject: Voice message"));
    EXPECT_EQ(m_LastSubject, "Voice message");
}

TEST_F(PostBuilderTest, MissingDefaultSubjectLeavesTheRowEmpty) {
    Translation.Clear();
    const std::string post = Build("");
    EXPECT_TRUE(HasRow(post, "Subject: "));
    EXPECT_EQ(m_LastSubject, "");
}

TEST_F(PostBuilderTest, NoteFromSettingOrDefault) {
    Put("Note", "Bye now");
    EXPECT_NE(Build().find("\r\n\r\nBye now\r\n\r\n--------BrisaPost\r\n"), std::string::npos);
    Put("Note", "    ");
    EXPECT_NE(Build().find("\r\n\r\nListen to my message.\r\n\r\n--------BrisaPost\r\n"),
              std::string::npos);
    Translation.Clear();
    EXPECT_NE(Build().find("X-UniqueId: ann\r\n\r\n\r\n\r\n--------BrisaPost\r\n"),
              std::string::npos);
}

TEST_F(PostBuilderTest, UserIdFallsBackToMyName) {
    Put("Name", "Ann Smith");
    EXPECT_TRUE(HasRow(Build(), "X-UniqueId: ann"));
    m_System.hasUser = false;
    EXPECT_TRUE(HasRow(Build(), "X-UniqueId: Ann Smith"));
    Put("Name", "");
    EXPECT_TRUE(HasRow(Build(), "X-UniqueId: "));
    m_Request.system = nullptr;
    Put("Name", "Solo");
    EXPECT_TRUE(HasRow(Build(), "X-UniqueId: Solo"));
}

TEST_F(PostBuilderTest, UserIdStopsAtNul) {
    m_System.userName = std::string("ann\0junk", 8);
    EXPECT_TRUE(HasRow(Build(), "X-UniqueId: ann"));
}

TEST_F(PostBuilderTest, MissingSettingsStoreLeavesValuesEmpty) {
    gRegistry = nullptr;
    m_System.hasUser = false;
    const std::string post = Build();
    EXPECT_TRUE(HasRow(post, "From: "));
    EXPECT_TRUE(HasRow(post, "X-UniqueId: "));
    EXPECT_TRUE(HasRow(post, "X-Distributor: "));
}

TEST_F(PostBuilderTest, CharactersOutsideWindows1252BecomeQuestionMarks) {
    Put("Name", "\xE6\x9D\x8E \xE2\x82\xAC"); // a CJK letter and the euro sign
    EXPECT_TRUE(HasRow(Build(), "From: \"? \x80\" <ann@example.com>"));
}

// ---- date and zone --------------------------------------------------------------

TEST(PostZone, RoundsTheBiasToWholeHoursAndFlipsTheSign) {
    struct Case {
        int bias;
        const char* zone;
    };
    const Case cases[] = {
        {0, "-0000"},   {-60, "0100"},  {300, "-0500"}, {-330, "0600"}, {-120, "0200"},
        {480, "-0800"}, {-600, "1000"}, {570, "-1000"}, {-570, "1000"}, {15, "-0000"},
        {45, "-0100"},  {30, "-0100"},  {-30, "0100"},  {90, "-0200"},  {-765, "1300"},
        {-345, "0600"}, {-840, "1400"}, {720, "-1200"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PostZone(c.bias), c.zone) << "bias " << c.bias;
}

TEST_F(PostBuilderTest, DateRowUsesTheZoneOfTheSystem) {
    m_System.bias = 300;
    EXPECT_TRUE(HasRow(Build(), "Date: Sun, 14 Mar 1999 15:29 -0500"));
    m_System.hasBias = false;
    EXPECT_TRUE(HasRow(Build(), "Date: Sun, 14 Mar 1999 15:29 -0000"));
}

TEST(PostDate, EnglishNamesInTheCLocale) {
    LocaleVariable c("LC_ALL", "C");
    EXPECT_EQ(PostDate(Time(1999, 3, 14, 15, 29, 7)), "Sun, 14 Mar 1999 15:29");
    EXPECT_EQ(PostDate(Time(2021, 2, 1, 9, 5, 59)), "Mon, 01 Feb 2021 09:05");
    EXPECT_EQ(PostDate(Time(2000, 12, 30, 0, 0, 0)), "Sat, 30 Dec 2000 00:00");
    EXPECT_EQ(PostDate(Time(2024, 2, 29, 23, 59, 0)), "Thu, 29 Feb 2024 23:59");
}

TEST(PostDate, NamesOfTheUsersLocale) {
    LocaleVariable all("LC_ALL", nullptr);
    LocaleVariable time("LC_TIME", "de_DE.UTF-8");
    locale_t german = ::newlocale(LC_TIME_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    if (!german)
        GTEST_SKIP() << "the German locale is not installed";
    ::freelocale(german);
    EXPECT_EQ(PostDate(Time(1999, 3, 14, 15, 29, 7)), "So, 14 M\xC3\xA4r 1999 15:29");
}

TEST(PostFileName, TwoDigitsForEveryField) {
    EXPECT_EQ(PostFileName(Time(1999, 3, 14, 15, 29, 7)), "990314152907.txt");
    EXPECT_EQ(PostFileName(Time(2000, 1, 2, 3, 4, 5)), "000102030405.txt");
    EXPECT_EQ(PostFileName(Time(2031, 12, 31, 23, 59, 59)), "311231235959.txt");
}

TEST_F(PostBuilderTest, FileNameTakesTheTimeAgainAfterTheDateRow) {
    int calls = 0;
    m_Request.clock = [&calls] {
        return ++calls == 1 ? Time(1999, 3, 14, 15, 29, 59) : Time(1999, 3, 14, 15, 30, 1);
    };
    const std::string post = Build();
    EXPECT_TRUE(HasRow(post, "Date: Sun, 14 Mar 1999 15:29 0100"));
    EXPECT_EQ(m_LastFile, Outbox() + "/990314153001.txt");
}

// ---- names and collisions ---------------------------------------------------------

TEST_F(PostBuilderTest, TwoPostsInTheSameSecondGetTwoFiles) {
    const std::string first = Build("first");
    const std::string firstFile = m_LastFile;
    const std::string second = Build("second");
    EXPECT_EQ(firstFile, Outbox() + "/990314152907.txt");
    EXPECT_EQ(m_LastFile, Outbox() + "/990314152908.txt");
    EXPECT_TRUE(HasRow(ReadFile(firstFile), "Subject: first"));
    EXPECT_TRUE(HasRow(ReadFile(m_LastFile), "Subject: second"));
    EXPECT_EQ(FolderEntries(Outbox()),
              (std::vector<std::string>{"990314152907.txt", "990314152908.txt"}));
}

TEST_F(PostBuilderTest, AnExistingPostIsNeverReplaced) {
    WriteFile(Outbox() + "/990314152907.txt", "older post");
    WriteFile(Outbox() + "/990314152908.txt", "another older post");
    Build();
    EXPECT_EQ(m_LastFile, Outbox() + "/990314152909.txt");
    EXPECT_EQ(ReadFile(Outbox() + "/990314152907.txt"), "older post");
    EXPECT_EQ(ReadFile(Outbox() + "/990314152908.txt"), "another older post");
}

TEST_F(PostBuilderTest, TheNextFreeSecondRollsOverMinuteAndDay) {
    m_Now = Time(1999, 12, 31, 23, 59, 59);
    WriteFile(Outbox() + "/991231235959.txt", "taken");
    Build();
    EXPECT_EQ(m_LastFile, Outbox() + "/000101000000.txt");
}

// ---- result codes -----------------------------------------------------------------

TEST_F(PostBuilderTest, MissingArchiveIsFourAndDoesNothingElse) {
    ::unlink(Archive().c_str());
    std::string subject, file = Archive();
    EXPECT_EQ(BuildPost(m_Request, subject, file), kPostArchiveMissing);
    EXPECT_EQ(file, Archive());
    EXPECT_EQ(subject, ""); // the default subject was not fetched
    EXPECT_TRUE(FolderEntries(Outbox()).empty());
}

TEST_F(PostBuilderTest, MissingOutboxIsSixAndClearsTheFile) {
    QDir(QString::fromStdString(Outbox())).removeRecursively();
    std::string subject = "s", file = Archive();
    EXPECT_EQ(BuildPost(m_Request, subject, file), kPostNotWritable);
    EXPECT_EQ(file, "");
}

TEST_F(PostBuilderTest, OutboxThatIsAFileIsSix) {
    QDir(QString::fromStdString(Outbox())).removeRecursively();
    WriteFile(Outbox(), "not a folder");
    std::string subject = "s", file = Archive();
    EXPECT_EQ(BuildPost(m_Request, subject, file), kPostNotWritable);
    EXPECT_EQ(file, "");
    EXPECT_EQ(ReadFile(Outbox()), "not a folder");
}

TEST_F(PostBuilderTest, ReadOnlyOutboxIsSix) {
    ::chmod(Outbox().c_str(), 0500);
    const bool stillWritable = ::access(Outbox().c_str(), W_OK) == 0;
    if (stillWritable) {
        ::chmod(Outbox().c_str(), 0700);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    std::string subject = "s", file = Archive();
    const int result = BuildPost(m_Request, subject, file);
    ::chmod(Outbox().c_str(), 0700);
    EXPECT_EQ(result, kPostNotWritable);
    EXPECT_EQ(file, "");
    EXPECT_TRUE(FolderEntries(Outbox()).empty());
}

TEST_F(PostBuilderTest, ArchiveThatCannotBeReadIsSeven) {
    ::unlink(Archive().c_str());
    QDir().mkpath(QString::fromStdString(Archive())); // exists, but is no file to read
    std::string subject = "s", file = Archive();
    EXPECT_EQ(BuildPost(m_Request, subject, file), kPostArchiveUnreadable);
    EXPECT_EQ(file, Archive());
    EXPECT_TRUE(FolderEntries(Outbox()).empty());
}

TEST_F(PostBuilderTest, ArchiveWithoutReadPermissionIsSeven) {
    ::chmod(Archive().c_str(), 0);
    if (::access(Archive().c_str(), R_OK) == 0) {
        ::chmod(Archive().c_str(), 0600);
        GTEST_SKIP() << "running with rights that ignore file permissions";
    }
    std::string subject = "s", file = Archive();
    const int result = BuildPost(m_Request, subject, file);
    ::chmod(Archive().c_str(), 0600);
    EXPECT_EQ(result, kPostArchiveUnreadable);
    EXPECT_EQ(file, Archive());
    EXPECT_TRUE(FolderEntries(Outbox()).empty());
}

TEST_F(PostBuilderTest, NamedPipeInPlaceOfTheArchiveDoesNotBlock) {
    ::unlink(Archive().c_str());
    ASSERT_EQ(::mkfifo(Archive().c_str(), 0600), 0);
    std::string subject = "s", file = Archive();
    EXPECT_EQ(BuildPost(m_Request, subject, file), kPostArchiveUnreadable);
}

TEST_F(PostBuilderTest, NoTemporaryFilesAreLeftBehind) {
    Build();
    Build();
    ::unlink(Archive().c_str());
    QDir().mkpath(QString::fromStdString(Archive()));
    Build(); // fails with 7
    for (const auto& name : FolderEntries(Outbox()))
        EXPECT_NE(name.front(), '.') << name;
    EXPECT_EQ(FolderEntries(Outbox()).size(), 2u);
}

} // namespace
} // namespace brisa
