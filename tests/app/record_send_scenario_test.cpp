// Recording and sending through the assembled program (app/composition.h):
// the microphone is an ALSA "file" device reading a tone the test writes,
// brisa-sender runs for real, and the servers are on 127.0.0.1.
#include "app/composition.h"

#include "skin/label_button.h"
#include "tests/app/program_fixture.h"
#include "tests/sending/test_servers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>
#include <zip.h>

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

uint32_t Le32(const std::string& pBytes, size_t pAt) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(pBytes[pAt + i]);
    return value;
}

// The one entry of a zip archive held in memory; "" when there is none.
std::string Unzipped(const std::string& pArchive, const char* pName) {
    zip_source_t* source = zip_source_buffer_create(pArchive.data(), pArchive.size(), 0, nullptr);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, nullptr);
    zip_file_t* file = archive && zip_get_num_entries(archive, 0) == 1 ? zip_fopen(archive, pName, 0) : nullptr;
    std::string bytes(1 << 20, '\0');
    bytes.resize(file ? static_cast<size_t>(std::max<zip_int64_t>(0, zip_fread(file, bytes.data(), bytes.size()))) : 0);
    if (file) zip_fclose(file);
    archive ? zip_discard(archive) : zip_source_free(source);
    return bytes;
}

std::vector<std::string> Posts(const std::string& pFolder) {
    std::vector<std::string> names;
    for (const QString& name : QDir(QString::fromStdString(pFolder)).entryList({"*.txt"}, QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

class RecordAndSend : public ProgramScenario {
protected:
    void SetUp() override {
        ProgramScenario::SetUp();
        if (IsSkipped()) return;
        // The microphone's samples: a 440 Hz tone instead of the silence it reads.
        for (int i = 0; i < 16000 * 30; ++i) {
            const auto value = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 16000.0));
            tone += {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
        }
        WriteFile(QFileInfo(qgetenv("ALSA_CONFIG_PATH")).path().toStdString() + "/silence.raw", tone);
        WriteFile(env.Path("lang/00000409.txt"), ShippedLanguage());
        std::filesystem::create_symlink(BRISA_TEST_SENDER, env.Path("brisa-sender"));
        Set("Email", "me@example.com");
        Set("LargeFontWarning", "1");
        // Interface sounds, played into ALSA's "null" device.
        for (const char* sound : {"sounds/click.wav", "sounds/error.wav"})
            WriteFile(env.Path(sound), std::string("RIFF\x44\x03\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0"
                                                   "\x40\x1F\0\0\x01\0\x08\0data\x20\x03\0\0", 44) + std::string(800, '\x80'));
        Set("PlaySounds", "1");
        // A message box would wait for a click: every one is noted and closed.
        boxes.callOnTimeout([this] {
            if (auto* box = Showing<QMessageBox>()) {
                shownBoxes << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        boxes.start(20);
    }
    void TearDown() override {
        EXPECT_TRUE(shownBoxes.isEmpty()) << shownBoxes.join(" | ").toStdString();
        ProgramScenario::TearDown();
    }
    static void Put(Program& pProgram, const std::string& pName, const std::string& pValue) {
        pProgram.registry.SetValue(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    static std::string Status(Program& pProgram) { return pProgram.window.lblStatus->text().toStdString(); }
    static void Click(QWidget* pButton) { QTest::mouseClick(pButton, Qt::LeftButton); }
    // Records a moment and sends it to pTo.
    static void RecordAndSendTo(Program& pProgram, const QString& pTo) {
        Click(pProgram.window.cmdRecord);
        Click(pProgram.window.cmdStop);
        pProgram.window.cmbTo->setEditText(pTo);
        Click(pProgram.window.cmdSend);
    }

    std::string tone;
    QTimer boxes;
    QStringList shownBoxes;
};

// Record, pause, resume, stop and play; the recording goes to the server in
// the post's zip archive, and the post that waited since the start follows.
TEST_F(RecordAndSend, ARecordingReachesTheServerAndTheWaitingPostFollows) {
    HttpServer server;
    OpenedAddresses opened;
    server.Queue({503, {}, "busy"});
    Set("ConnectTo", server.Url());
    WriteFile(env.Path("outbox/000000000001.txt"), "Content-Type: text/plain\r\n\r\nwaiting since yesterday");
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& w = program.window;

    // The server was busy at start-up: the post waits, and the tray says so.
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 1 && !w.mSender; }));
    EXPECT_TRUE(w.mnuSpecial->isVisible());
    EXPECT_TRUE(w.mnuSpecial->text().startsWith("Your message could not be sent yet")) << w.mnuSpecial->text().toStdString();
    EXPECT_EQ(Posts(env.Path("outbox")).size(), 1u);
    w.mnuSpecial->trigger();
    EXPECT_EQ(opened.urls.join(' ').toStdString(), "file://" + env.Path("outbox"));

    QElapsedTimer clock;
    clock.start();
    Click(w.cmdRecord);
    EXPECT_EQ(Status(program), "Recording: 0:01");
    ASSERT_TRUE(WaitFor([&] { return Status(program) == "Recording: 0:02"; }));
    Click(w.cmdRecord);
    double recording = static_cast<double>(clock.restart()) / 1000;
    EXPECT_EQ(Status(program), "Paused");
    // Paused: neither the clock nor the microphone runs.
    QTest::qWait(1500);
    EXPECT_EQ(Status(program), "Paused");
    clock.restart();
    Click(w.cmdRecord);
    ASSERT_TRUE(WaitFor([&] { return Status(program) == "Recording: 0:03"; }));
    Click(w.cmdStop);
    recording += static_cast<double>(clock.elapsed()) / 1000;
    EXPECT_EQ(Status(program), "Stopped. Play it back or send it.");

    // Played back to its end: the three seconds counted.
    Click(w.cmdPlay);
    EXPECT_FALSE(w.cmdSend->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return Status(program) == "Playing: 0:03 - 0:03"; }));
    EXPECT_TRUE(w.cmdSend->isEnabled());

    w.cmbTo->setEditText("ann@example.com");
    w.cmbCc->setEditText("carl@example.net");
    w.txtSubject->setText("Hello");
    QTest::mouseClick(w.lblReturnReceipt, Qt::LeftButton); // the caption ticks the box
    Click(w.cmdSend);
    EXPECT_EQ(Status(program), "Ready for a new message.");
    EXPECT_EQ(w.txtSubject->text(), "");
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 3 && !w.mSender; }));

    const auto requests = server.Requests();
    std::string header, archive;
    for (const ReceivedPart& part : requests[1].parts) {
        if (part.name == "header") header = part.content;
        if (part.name == "body" && part.filename == "in.zip") archive = part.content;
    }
    for (const char* row : {"To: ann@example.com\r\n", "From: me@example.com\r\n", "Subject: Hello\r\n",
                            "Cc: carl@example.net\r\n", "X-Return-Receipt: Yes\r\n", "X-Language: 00000409\r\n"})
        EXPECT_NE(header.find(row), std::string::npos) << row << " in\n" << header;

    // The archive holds the recording as saved: a wave file whose sizes
    // agree with its bytes, the microphone's tone, nothing of the pause.
    const std::string wave = Unzipped(archive, "in.wav");
    ASSERT_GT(wave.size(), 44u) << "no recording in the archive";
    EXPECT_EQ(wave, ReadFile(env.Path("in.wav")));
    EXPECT_EQ(wave.substr(0, 4) + wave.substr(8, 8) + wave.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(Le32(wave, 4), wave.size() - 8);
    EXPECT_EQ(Le32(wave, 40), wave.size() - 44);
    EXPECT_EQ(Le32(wave, 24), 16000u);
    EXPECT_EQ(Le32(wave, 28), 32000u);
    const std::string samples = wave.substr(44);
    EXPECT_LE(samples.size() / 32000.0, recording + 0.2);
    EXPECT_TRUE(samples.substr(0, 3200) == tone.substr(0, 3200)) << "not the microphone's tone";

    // The server took the new post, so the waiting one went out after it.
    EXPECT_EQ(requests[2].body, "waiting since yesterday");
    EXPECT_EQ(requests[0].body, requests[2].body);
    EXPECT_TRUE(Posts(env.Path("outbox")).empty());

    // What the recording and the post left behind is the user's alone.
    for (const auto& [file, mode] : {std::pair{"in.wav", 0600}, std::pair{"in.zip", 0600}, std::pair{"outbox", 0700}}) {
        const auto perms = std::filesystem::status(env.Path(file)).permissions();
        EXPECT_EQ(static_cast<int>(perms & std::filesystem::perms::all), mode) << file;
    }
}

// AutoStop ends a recording at its limit (at least three minutes, at most
// five); the test is the recording clock.
TEST_F(RecordAndSend, AutoStopEndsTheRecordingAtItsLimit) {
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& w = program.window;
    for (const auto& [setting, limit, lastShown, played] :
         {std::tuple{"180", 180, "Recording: 2:59", "Playing: 0:01 - 3:00"},
          std::tuple{"1000", 300, "Recording: 4:59", "Playing: 0:01 - 5:00"}}) {
        SCOPED_TRACE(setting);
        Put(program, "AutoStop", setting);
        Click(w.cmdRecord);
        w.tmrRecording.setInterval(3600 * 1000);
        for (int second = 2; second < limit; ++second) w.tmrRecording_Timer();
        EXPECT_EQ(Status(program), lastShown);
        w.tmrRecording_Timer();
        EXPECT_EQ(Status(program), "Stopped. Play it back or send it.");
        EXPECT_TRUE(w.cmdPlay->isEnabled());
        Click(w.cmdPlay);
        w.tmrRecording_Timer();
        EXPECT_EQ(Status(program), played);
        Click(w.cmdStop);
        w.tmrRecording.setInterval(1000);
    }
}

// What the user learns when a post does not go out: what the send itself
// turns down in a box or the status line, the server's fate of the post in
// the tray.
TEST_F(RecordAndSend, PostsThatDoNotGoOutWaitOrAreSetAside) {
    qputenv("BRISA_SENDER_STALL_TIMEOUT", "1");
    HttpServer refusing;
    refusing.Queue({403, {}, "No such recipient\r\n"});
    RawServer stalling(RawMode::Hold);
    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& w = program.window;
    const std::string outbox = env.Path("outbox");

    // Recipients the address check turns down, and no own address.
    RecordAndSendTo(program, "(no recipient)");
    w.cmbTo->setEditText("ann@example.com, bob@example");
    Click(w.cmdSend);
    w.cmbTo->setEditText("ann@example.com");
    w.cmbCc->setEditText("carl");
    Click(w.cmdSend);
    const QString rest = "\". Addresses look like name@example.com and are separated by commas; the whole list "
                         "may have up to 512 characters.";
    EXPECT_EQ(shownBoxes, QStringList({"Please enter at least one recipient in the To box.",
                                       "Please check the recipient \"bob@example" + rest,
                                       "Please check the recipient \"carl" + rest}));
    shownBoxes.clear();
    w.cmbCc->setEditText("");
    Put(program, "Email", " ");
    Click(w.cmdSend);
    EXPECT_EQ(Status(program), "Please enter your own e-mail address under Options first.");
    Put(program, "Email", "me@example.com");
    std::filesystem::create_directories(env.Path("in.wav/kept")); // the recording cannot be saved
    Click(w.cmdSend);
    EXPECT_TRUE(shownBoxes.size() == 1 && shownBoxes.takeFirst().startsWith("The recording could not be saved"));
    std::filesystem::remove_all(env.Path("in.wav"));
    std::filesystem::remove_all(outbox);
    WriteFile(outbox, "a file where the outbox belongs");
    Click(w.cmdSend);
    EXPECT_EQ(Status(program), "Sending failed: message file error 6");
    std::filesystem::remove(outbox);
    std::filesystem::create_directory(outbox);
    Click(w.cmdRecord);
    Click(w.cmdStop);
    std::filesystem::remove(env.Path("in.zip"));
    std::filesystem::create_directories(env.Path("in.zip/kept")); // the archive cannot be made
    Click(w.cmdSend);
    EXPECT_EQ(Status(program), "Sending failed: the recording could not be packed.");
    std::filesystem::remove_all(env.Path("in.zip"));

    const std::string waiting = "Your message could not be sent yet";
    using Row = std::tuple<std::string, std::string, std::string>; // server, folder of the post, tray entry
    for (const auto& [url, folder, caption] :
         {Row{"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/post", outbox, waiting},
          Row{refusing.Url(), outbox + "/refused", "The server refused your message and it was set aside: No such recipient"},
          Row{stalling.Url(), outbox, waiting}}) {
        SCOPED_TRACE(url);
        Put(program, "ConnectTo", url);
        RecordAndSendTo(program, "ann@example.com");
        EXPECT_EQ(Status(program), "Ready for a new message.");
        ASSERT_TRUE(WaitFor([&] { return !w.mSender && w.mnuSpecial->isVisible(); }));
        EXPECT_EQ(w.mnuSpecial->text().toStdString().substr(0, caption.size()), caption);
        EXPECT_EQ(Posts(folder).size(), 1u);
        // The tray entry opens the folder that holds the post, and goes.
        w.mnuSpecial->trigger();
        EXPECT_EQ(opened.urls.last().toStdString(), "file://" + folder);
        EXPECT_FALSE(w.mnuSpecial->isVisible());
        for (const std::string& name : Posts(folder)) std::filesystem::remove(folder + "/" + name);
    }
    EXPECT_EQ(refusing.Requests().size(), 1u);
    EXPECT_EQ(stalling.Connections(), 1);
    qunsetenv("BRISA_SENDER_STALL_TIMEOUT");
}

} // namespace
} // namespace brisa::test

int main(int argc, char** argv) { return brisa::test::ScenarioMain(argc, argv); }
