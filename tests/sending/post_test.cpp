// What the send command makes of a recording and a recipient list: the
// checked list, the zip archive and the post file, byte for byte.
#include "sending/address_check.h"
#include "sending/dynazip.h"
#include "sending/post_builder.h"

#include "language/translation.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace brisa {
namespace {

using test::ReadFile;
using test::WriteFile;

// The rows of the mail-like header from To, From, Subject, the zone of the
// Date, the optional rows (Cc, X-Organization, X-Return-Receipt),
// X-Language, X-TSworking, X-Distributor and X-UniqueId.
std::string Rows(const std::vector<std::string>& p) {
    return "To: " + p[0] + "\r\nFrom: " + p[1] + "\r\nSubject: " + p[2] +
           "\r\nDate: Sun, 14 Mar 1999 15:29 " + p[3] + "\r\n" + p[4] + "X-Language: " + p[5] +
           "\r\nX-Mailer: BrisaMailer\r\nX-MailerVersion: 2.0.0\r\nX-TSworking: " + p[6] +
           "\r\nX-Distributor: " + p[7] + "\r\nX-UniqueId: " + p[8] + "\r\n";
}

// The post of the archive "in.zip".
std::string Post(const std::string& pRows, const std::string& pNote, const std::string& pArchive) {
    const std::string body =
        "--------BrisaPost\r\n"
        "Content-Disposition: form-data; name=\"header\"; "
        "filename=\"header.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n" +
        pRows + "\r\n" + pNote +
        "\r\n\r\n--------BrisaPost\r\n"
        "Content-Disposition: form-data; name=\"body\"; filename=\"in.zip\"\r\n"
        "Content-Type: application/x-zip-compressed\r\n\r\n" +
        pArchive + "\r\n\r\n--------BrisaPost--\r\n";
    return "User-Agent: BrisaMail Client\r\n"
           "Content-Type: multipart/form-data; boundary=------BrisaPost\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// What one post is written from: settings, language, system, request, and
// a program folder with an archive and an outbox.
struct World {
    test::TempEnv env;
    test::MemoryRegistry registry;
    cRegistry store{registry, nullptr};
    test::FakeSystemInfo system;
    PostRequest request;
    std::string subject = "Hello", file;
    std::tm now{7, 29, 15, 14, 2, 99, 0, 0, 0, 0, nullptr}; // 14 March 1999 15:29:07

    explicit World(const std::string& pArchive = "PK") {
        ::setenv("LC_ALL", "C", 1);
        gRegistry = &store;
        gLanguageId = "00000409";
        Translation.Clear();
        Translation.Add({"mail0001", "Voice message"});
        Translation.Add({"mail0002", "Listen to my message."});
        Put("Email", "ann@example.com");
        system.bias = -60;
        request = {"bob@example.com",     "", 0, "", env.ProgramFolder(), &system,
                   [this] { return now; }};
        QDir().mkpath(QString::fromStdString(Outbox()));
        WriteFile(Archive(), pArchive);
    }
    ~World() { gRegistry = nullptr; }
    void Put(const std::string& pName, const std::string& pValue) {
        registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue);
    }
    std::string Archive() const { return env.Path("in.zip"); }
    std::string Outbox() const { return env.Path("outbox"); }
    int Build() {
        file = Archive();
        return BuildPost(request, subject, file);
    }
    int Posts() const {
        return static_cast<int>(
            QDir(QString::fromStdString(Outbox())).entryList(QDir::Files | QDir::Hidden).size());
    }
};

TEST(PostFile, EveryRowByteForByte) {
    struct Row {
        std::vector<std::pair<std::string, std::string>> settings;
        std::function<void(World&)> set;
        std::string rows, note = "Listen to my message.";
    };
    // clang-format off
    const std::vector<Row> table = {
        // every optional row; a name in UTF-8 written in Windows-1252
        {{{"Name", "Zo\xC3\xAB Smith"}, {"Cc", "boss@example.com"}, {"Organization", "Example Ltd"}, {"DistributorCode", "D42"}, {"Note", "Call me back."}},
         [](World& w) { w.request = {"bob@example.com, carl@example.org", "dora@example.net", 1, "", w.env.ProgramFolder(), &w.system, w.request.clock}; },
         Rows({"bob@example.com, carl@example.org", "\"Zo\xEB Smith\" <ann@example.com>", "Hello", "0100",
               "Cc: dora@example.net, boss@example.com\r\nX-Organization: Example Ltd\r\nX-Return-Receipt: Yes\r\n", "00000409", "Yes", "D42", "ann"}),
         "Call me back."},
        // none of them
        {{}, [](World&) {}, Rows({"bob@example.com", "ann@example.com", "Hello", "0100", "", "00000409", "Yes", "", "ann"})},
        // the other choices
        {{{"Cc", " b@y.org "}, {"Note", "   "}, {"Name", "Ann Smith"}},
         [](World& w) { w.subject.clear(); w.request.returnReceipt = 2; w.request.bannerMarker = "off"; w.system.bias = 300; w.system.hasUser = false; gLanguageId = "00000407"; },
         Rows({"bob@example.com", "\"Ann Smith\" <ann@example.com>", "Voice message", "-0500", "Cc:  b@y.org \r\n", "00000407", "No", "", "Ann Smith"})},
        // a blank Cc setting, no zone, a name without Windows-1252 letters
        {{{"Cc", "   "}, {"Name", "\xE6\x9D\x8E \xE2\x82\xAC"}},
         [](World& w) { w.request.cc = "  a@x.org  "; w.system.hasBias = false; w.system.userName = std::string("ann\0junk", 8); },
         Rows({"bob@example.com", "\"? \x80\" <ann@example.com>", "Hello", "-0000", "Cc: a@x.org\r\n", "00000409", "Yes", "", "ann"})},
        // control characters in every value: none can end its row and start one
        {{{"Name", "Ann\"\r\nBcc: x@y.org"}, {"Organization", "A\tB\x7F" "C\x1B[31m"}, {"DistributorCode", "D42\r\n\r\nbody"}},
         [](World& w) { w.request.to = "Hi\r\nCc: eve@evil.example"; w.request.cc = "a@x.org\nBcc: spy@evil.example";
                        w.subject = "a\xC2\x85" "b\xE2\x80\xA8" "c\xE2\x80\xA9" "d"; w.system.userName = "ann\x0B\x0C" "x"; },
         Rows({"Hi  Cc: eve@evil.example", "\"Ann\"  Bcc: x@y.org\" <ann@example.com>", "a b c d", "0100",
               "Cc: a@x.org Bcc: spy@evil.example\r\nX-Organization: A B C [31m\r\n", "00000409", "Yes", "D42    body", "ann  x"})},
        // no settings, no system, no language texts
        {{}, [](World& w) { gRegistry = nullptr; w.request.system = nullptr; w.subject.clear(); Translation.Clear(); },
         Rows({"bob@example.com", "", "", "-0000", "", "00000409", "Yes", "", ""}), ""},
    };
    // clang-format on
    for (const Row& row : table) {
        SCOPED_TRACE(row.rows);
        World world(std::string("PK\x03\x04\r\n\0\n\r\xFF\x80z", 12));
        for (const auto& [name, value] : row.settings)
            world.Put(name, value);
        row.set(world);
        const std::string subject = world.subject;
        ASSERT_EQ(world.Build(), kPostWritten);
        EXPECT_EQ(world.file, world.Outbox() + "/990314152907.txt");
        EXPECT_EQ(ReadFile(world.file), Post(row.rows, row.note, ReadFile(world.Archive())));
        if (subject.empty()) { // the default comes back
            EXPECT_NE(row.rows.find("Subject: " + world.subject + "\r\n"), std::string::npos);
        } else {
            EXPECT_EQ(world.subject, subject);
        }
        struct stat info {};
        ASSERT_EQ(::stat(world.file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u); // the owner's only
    }
}

// A post never replaces another, and a failure writes none.
TEST(PostFile, NamesZonesAndFailures) {
    World w;
    WriteFile(w.Outbox() + "/990314152907.txt", "older post");
    for (const char* name : {"990314152908.txt", "990314152909.txt"}) {
        w.Build();
        EXPECT_EQ(w.file, w.Outbox() + "/" + name);
    }
    w.now = std::tm{59, 59, 23, 31, 11, 99, 0, 0, 0, 0, nullptr};
    WriteFile(w.Outbox() + "/991231235959.txt", "taken");
    w.Build();
    EXPECT_EQ(w.file, w.Outbox() + "/000101000000.txt");
    EXPECT_EQ(ReadFile(w.Outbox() + "/990314152907.txt"), "older post");
    EXPECT_EQ(w.Posts(), 5);

    // Half hours round to the even one, then hours away from zero.
    const std::pair<int, const char*> zones[] = {{0, "-0000"},  {-330, "0600"}, {570, "-1000"},
                                                 {15, "-0000"}, {45, "-0100"},  {-765, "1300"}};
    for (const auto& [bias, zone] : zones)
        EXPECT_EQ(PostZone(bias), zone) << bias;

    const std::pair<const char*, int> failures[] = {{"none", kPostArchiveMissing},
                                                    {"outbox", kPostNotWritable},
                                                    {"pipe", kPostArchiveUnreadable}};
    for (const auto& [archive, result] : failures) {
        World world;
        if (archive == std::string("outbox")) { // a file in the outbox's place
            QDir().rmdir(QString::fromStdString(world.Outbox()));
            WriteFile(world.Outbox(), "");
        } else {
            ::unlink(world.Archive().c_str());
            if (archive == std::string("pipe"))
                ::mkfifo(world.Archive().c_str(), 0600);
        }
        world.subject.clear();
        EXPECT_EQ(world.Build(), result) << archive;
        EXPECT_EQ(world.file, result == kPostNotWritable ? "" : world.Archive());
        EXPECT_EQ(world.subject, result == kPostArchiveMissing ? "" : "Voice message");
        EXPECT_EQ(world.Posts(), 0);
    }
}

TEST(PostFile, TheRecipientListIsCheckedFirst) {
    // clang-format off
    const std::tuple<std::string, int16_t, std::string> rows[] = {
        // the list, the result, the list after a pass or the bad entry
        {" ann@example.com,bob@example.org ,  carl@x.net", kAddressListValid, "ann@example.com, bob@example.org, carl@x.net"},
        {"ann@example.com,  ,no address at all", kAddressListValid, "ann@example.com"},
        {"ann@example.com,   bob   ,carl@example.org", kAddressNoAt, "bob"},
        {"first.last@localhost", kAddressNoDotAfterAt, "first.last@localhost"},
        {std::string(500, 'a') + "@example.com,", kAddressListTooLong, ""},
        {"eve@x.com\tBcc: spy@ev.il", kAddressControlCharacter, "eve@x.com\uFFFDBcc: spy@ev.il"},
        {"a@x.com, eve@x.com\x1B[8m ,b@x.org", kAddressControlCharacter, "eve@x.com\uFFFD[8m"},
        {"a@x.com,, eve@x.com\x7F", kAddressControlCharacter, "eve@x.com\uFFFD"},
        {"eve@x.com\r\nBcc: spy@ev.il", kAddressControlCharacter, "eve@x.com\uFFFD\uFFFDBcc: spy@ev.il"},
        {"eve@x.com\xC2\x85", kAddressControlCharacter, "eve@x.com\uFFFD"}};
    // clang-format on
    for (const auto& [given, result, after] : rows) {
        std::string list = given, bad = "stale";
        int16_t checked = -1;
        CheckAddressList(list, bad, checked);
        EXPECT_EQ(checked, result) << given;
        EXPECT_EQ(result == kAddressListValid ? list : bad, after) << given;
        EXPECT_EQ(list, result == kAddressListValid ? after : given); // a bad list stays as typed
    }
}

// The recording packed: one deflated entry under its bare name, or, when
// that fails, nothing new at all.
TEST(PostFile, TheZipHoldsOneDeflatedEntryOrNothing) {
    std::string wave("RIFF\0\0\0\0WAVEfmt ", 16);
    for (int i = 0; i < 8000; ++i)
        wave += static_cast<char>(128 + (i % 50) - 25);
    // clang-format off
    const std::tuple<std::string, std::string, std::string, int> rows[] = {
        // source, target (below the program folder, which holds in.wav and dir/), in.wav, result
        {"in.wav", "in.zip", "", kZipWritten}, {"in.wav", "in.zip", wave, kZipWritten},
        {"none.wav", "in.zip", "x", kZipSourceUnreadable}, {"dir", "in.zip", "x", kZipSourceUnreadable},
        {"in.wav", "no/in.zip", "x", kZipNotCreated}};
    // clang-format on
    for (const auto& [source, target, bytes, result] : rows) {
        SCOPED_TRACE(source + " " + target);
        test::TempEnv env;
        WriteFile(env.Path("in.wav"), bytes);
        WriteFile(env.Path("in.zip"), "old");
        QDir().mkpath(QString::fromStdString(env.Path("dir")));
        EXPECT_EQ(MakeZip(env.Path(source), env.Path(target)), result);
        const bool packed = result == kZipWritten;
        EXPECT_EQ(QDir(QString::fromStdString(env.ProgramFolder()))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                      .join(' '),
                  "dir in.wav in.zip");
        if (!packed) {
            EXPECT_EQ(ReadFile(env.Path("in.zip")), "old");
            continue;
        }
        zip_t* archive = zip_open(env.Path("in.zip").c_str(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
        ASSERT_NE(archive, nullptr);
        zip_stat_t entry;
        ASSERT_EQ(zip_get_num_entries(archive, 0), 1);
        ASSERT_EQ(zip_stat_index(archive, 0, 0, &entry), 0);
        EXPECT_STREQ(entry.name, "in.wav");
        EXPECT_EQ(entry.comp_method, ZIP_CM_DEFLATE);
        std::string unpacked(entry.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, 0, 0);
        EXPECT_EQ(zip_fread(file, unpacked.data(), entry.size),
                  static_cast<zip_int64_t>(entry.size));
        zip_fclose(file);
        zip_discard(archive);
        EXPECT_EQ(unpacked, bytes);
        EXPECT_EQ(ReadFile(env.Path("in.wav")), bytes);
        EXPECT_TRUE(bytes != wave || entry.comp_size < wave.size() / 4);
    }
}

} // namespace
} // namespace brisa
