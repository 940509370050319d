// The advertising spaces of the main window against a recording library:
// the order of the calls at start-up and shut-down, the callbacks, clicks,
// the tray and the post's advertising row.
#include "ads/timesink.h"
#include "app/main_window.h"

#include "common/globals.h"
#include "platform/tray.h"
#include "settings/registry.h"
#include "skin/anigif.h"
#include "tests/ads/recording_ad_library.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"
#include "tools/gif_encoder.h"

#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

// A small two-frame GIF of pWidth x pHeight.
std::string TinyGif(int pWidth, int pHeight, QRgb pColour) {
    QImage first(pWidth, pHeight, QImage::Format_RGB32);
    first.fill(pColour);
    QImage second = first;
    second.setPixel(0, 0, qRgb(255, 255, 255));
    return art::EncodeAnimation({first, second}, {10, 10});
}

class Timesink : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* id : {"00000409", "00000407"}) {
            const std::string from = std::string(BRISA_SOURCE_DIR) + "/data/lang/" + id + ".txt";
            WriteFile(env.Path(std::string("lang/") + id + ".txt"), ReadFile(from));
        }
        WriteFile(env.Path("brisa_banner.gif"), TinyGif(468, 60, qRgb(0, 0, 200)));
    }
    void TearDown() override {
        window.reset();
        gLargeFonts = false;
        gScaleX = gScaleY = 1.0f;
    }
    void Put(const std::string& pName, const std::string& pValue) {
        fakes.registry.Put(RootKey::LocalMachine, kProgramKey, pName, pValue + '\0');
    }
    frmMM& Start(bool pShowZered, const std::string& pCommandLine = "") {
        Put("ShowZered", pShowZered ? "Yes" : "No");
        services = fakes.Wire();
        services.ads = &library;
        window = std::make_unique<frmMM>(services, pCommandLine);
        window->Form_Load();
        window->FinishStartUp();
        return *window;
    }
    void Exit() {
        window->mnuFileExit_Click();
        window->tmrAdvertise_Timer();
    }
    std::vector<std::string> TakeCalls() {
        std::vector<std::string> calls;
        calls.swap(library.calls);
        return calls;
    }
    // The X-TSworking row of a post written now.
    std::string AdvertisingRow() {
        WriteFile(env.Path("in.zip"), std::string("PK\x03\x04", 4) + "archive");
        std::string subject = "hello";
        std::string file = env.Path("in.zip");
        EXPECT_EQ(window->m_BuildPost("ann@example.com", "", subject, 0, file), 0);
        const std::string post = ReadFile(file);
        const size_t at = post.find("X-TSworking: ");
        if (at == std::string::npos)
            return "<none>";
        return post.substr(at, post.find("\r\n", at) - at);
    }

    TempEnv env;
    FakeServices fakes;
    RecordingAdLibrary library;
    Services services;
    std::unique_ptr<frmMM> window;
};

// ---- start-up and shut-down -------------------------------------------------------------

TEST_F(Timesink, StartupWithPartnerButtonsCreatesThreeLocationsInOrder) {
    frmMM& w = Start(true);
    EXPECT_EQ(library.locations.size(), 3u); // the banner and two partner buttons
    // Advertising works: the marker is empty and the timer runs once a second.
    EXPECT_TRUE(w.tsBannerAd->Tag.empty());
    EXPECT_TRUE(w.tmrAdvertise.isActive());
    EXPECT_EQ(w.tmrAdvertise.interval(), 1000);
    EXPECT_TRUE(w.tsZeredButton1->isVisible());
    EXPECT_TRUE(w.tsZeredButton2->isVisible());

    // Every location got a 56-byte record with the display and notify slots.
    for (int32_t handle : {100, 101, 102}) {
        const auto& location = library.locations.at(handle);
        ASSERT_TRUE(location.hasRecord) << handle;
        EXPECT_EQ(location.record.size, 56u);
        EXPECT_EQ(location.record.mask, 0x11u);
        EXPECT_TRUE(location.record.display);
        EXPECT_TRUE(location.record.notify);
        EXPECT_EQ(location.record.displayData, location.record.notifyData);
        EXPECT_GT(location.record.displayData, 0);
    }

    Exit();
    // At the end every location is destroyed before the library shuts down.
    const std::vector<std::string> calls = TakeCalls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"CT_MgmtShutdown", "CT_PushShutdown"}));
    for (const char* destroy :
         {"CT_MgmtDestroyAL(100)", "CT_MgmtDestroyAL(101)", "CT_MgmtDestroyAL(102)"})
        EXPECT_NE(std::find(calls.begin(), calls.end() - 2, destroy), calls.end() - 2) << destroy;
    EXPECT_TRUE(w.IsUnloaded());
}

TEST_F(Timesink, FailedPushStartLeavesAdvertisingOff) {
    library.pushInitResult = 5;
    frmMM& w = Start(true);
    TakeCalls();
    EXPECT_FALSE(w.tmrAdvertise.isActive());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.m_Mode, "");
    // The banner stays the program's own: its marker is its click target.
    EXPECT_EQ(w.tsBannerAd->Tag, env.Path("htm/help.htm"));
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("brisa_banner.gif"));
    // Nothing more reaches the library, not even at the end.
    w.cmdClose_Click();
    w.mnuFileSend_Click();
    w.grab();
    Exit();
    EXPECT_TRUE(library.calls.empty());
    EXPECT_TRUE(library.draws.empty());
}

// ---- the display and notify callbacks ----------------------------------------------------

// ---- the window's side -----------------------------------------------------------------------

TEST_F(Timesink, PostSaysWhetherAdvertisingWorks) {
    frmMM& w = Start(true);
    EXPECT_EQ(AdvertisingRow(), "X-TSworking: Yes");
    w.tsBannerAd->Tag = "https://brisamail.example.com/";
    EXPECT_EQ(AdvertisingRow(), "X-TSworking: No");
}

TEST_F(Timesink, LargeFontsStretchTheAdPicturesToTheirScaledFrames) {
    fakes.system.dpiX = fakes.system.dpiY = 120;
    frmMM& w = Start(true);
    ASSERT_TRUE(gLargeFonts);
    EXPECT_EQ(w.tsBannerAd->geometry(), w.Design(50, 244, 468, 60));
    EXPECT_EQ(w.tsZeredButton1->geometry(), w.Design(496, 114, 55, 25));
    EXPECT_EQ(w.tsZeredButton2->geometry(), w.Design(496, 150, 55, 25));
    for (cAniGif* picture : {w.tsBannerAd, w.tsZeredButton1, w.tsZeredButton2})
        EXPECT_TRUE(picture->hasScaledContents()) << picture->objectName().toStdString();
}

} // namespace
} // namespace brisa::test
