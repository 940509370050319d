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

const std::vector<std::string> kBannerCreated = {
    "_getPointer",
    "CT_MgmtCreateAL3(1,1,1,2,0,0)",
    "CT_MgmtSetALCallbacks(100)",
    "CT_MgmtGetALStatus(100)",
    "CT_MgmtSetALStatus(100,1)",
};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> pParts) {
    std::vector<std::string> all;
    for (const auto& part : pParts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kStarted = {"CT_PushInit(brisamail,bR15a6,1)",
                                           "CT_MgmtInit(brisamail,bR15a6,1)"};

// ---- start-up and shut-down -------------------------------------------------------------

TEST_F(Timesink, StartupWithPartnerButtonsCreatesThreeLocationsInOrder) {
    frmMM& w = Start(true);
    EXPECT_EQ(TakeCalls(), Concat({kStarted,
                                   kBannerCreated,
                                   {"_getPointer", "CT_MgmtCreateAL3(10,1,1,2,5,0)",
                                    "CT_MgmtSetALCallbacks(101)", "CT_MgmtGetALStatus(101)",
                                    "CT_MgmtSetALStatus(101,1)", "_getPointer",
                                    "CT_MgmtCreateAL3(10,1,1,2,6,0)", "CT_MgmtSetALCallbacks(102)",
                                    "CT_MgmtGetALStatus(102)", "CT_MgmtSetALStatus(102,1)"}}));
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
    EXPECT_EQ(TakeCalls(),
              (std::vector<std::string>{
                  "CT_MgmtGetALStatus(100)", "CT_MgmtSetALStatus(100,0)", "CT_MgmtDestroyAL(100)",
                  "CT_MgmtGetALStatus(101)", "CT_MgmtSetALStatus(101,0)", "CT_MgmtDestroyAL(101)",
                  "CT_MgmtGetALStatus(102)", "CT_MgmtSetALStatus(102,0)", "CT_MgmtDestroyAL(102)",
                  "CT_MgmtShutdown", "CT_PushShutdown"}));
    EXPECT_TRUE(w.IsUnloaded());
}

TEST_F(Timesink, WithoutShowZeredOnlyTheBannerIsServed) {
    frmMM& w = Start(false);
    EXPECT_EQ(TakeCalls(), Concat({kStarted, kBannerCreated}));
    EXPECT_TRUE(w.tmrAdvertise.isActive());
    // The partner buttons left the visible area.
    EXPECT_FALSE(w.tsZeredButton1->isVisible());
    EXPECT_FALSE(w.tsZeredButton2->isVisible());
    EXPECT_EQ(w.tsZeredButton1->pos(), QPoint(w.width(), w.height()));
    EXPECT_EQ(w.tsZeredButton2->pos(), QPoint(w.width(), w.height()));

    // They ignore clicks; the tray and the paint touch the banner only.
    w.TsZeredButton1_Click();
    w.TsZeredButton2_Click();
    EXPECT_TRUE(library.clicks.empty());
    w.cmdHide_Click();
    EXPECT_EQ(TakeCalls(),
              (std::vector<std::string>{"CT_MgmtGetALStatus(100)", "CT_MgmtSetALStatus(100,0)"}));
    w.mnuFileSend_Click();
    library.draws.clear();
    w.grab();
    ASSERT_FALSE(library.draws.empty());
    for (const AdLocation* drawn : library.draws)
        EXPECT_EQ(drawn->handle, 100);

    TakeCalls();
    Exit();
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{
                               "CT_MgmtGetALStatus(100)", "CT_MgmtSetALStatus(100,0)",
                               "CT_MgmtDestroyAL(100)", "CT_MgmtShutdown", "CT_PushShutdown"}));
}

TEST_F(Timesink, FailedPushStartLeavesAdvertisingOff) {
    library.pushInitResult = 5;
    frmMM& w = Start(true);
    EXPECT_EQ(TakeCalls(),
              (std::vector<std::string>{"CT_PushInit(brisamail,bR15a6,1)",
                                        "CT_PushGetErrorString(5)", "CT_PushGetLibError"}));
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

TEST_F(Timesink, FailedManagementStartShutsThePushPartDown) {
    library.mgmtInitResult = 7;
    frmMM& w = Start(true);
    EXPECT_EQ(TakeCalls(),
              (std::vector<std::string>{"CT_PushInit(brisamail,bR15a6,1)",
                                        "CT_MgmtInit(brisamail,bR15a6,1)", "CT_PushShutdown",
                                        "CT_MgmtGetErrorString(7)", "CT_MgmtGetLibError"}));
    EXPECT_TRUE(library.locations.empty());
    EXPECT_FALSE(w.tmrAdvertise.isActive());
    EXPECT_FALSE(w.tsBannerAd->Tag.empty());
    Exit();
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(Timesink, BannerThatCannotBeCreatedStopsTheLibrary) {
    library.failCreateFor = {0};
    frmMM& w = Start(true);
    EXPECT_EQ(TakeCalls(), Concat({kStarted,
                                   {"_getPointer", "CT_MgmtCreateAL3(1,1,1,2,0,0)",
                                    "CT_MgmtGetLibError", "CT_MgmtShutdown", "CT_PushShutdown"}}));
    EXPECT_FALSE(w.tmrAdvertise.isActive());
    EXPECT_EQ(w.tsBannerAd->Tag, env.Path("htm/help.htm"));
    // The library was stopped once; the unload does not stop it again.
    Exit();
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(Timesink, PartnerButtonWhoseCallbacksFailIsDestroyedAndTheRestShutDown) {
    library.failCallbacksFor = {{6, 9}};
    frmMM& w = Start(true);
    const std::vector<std::string> calls = TakeCalls();
    // Exactly: button 2 is destroyed right away, then the two others and the library.
    const std::vector<std::string> expectedTail = {"CT_MgmtCreateAL3(10,1,1,2,6,0)",
                                                   "CT_MgmtSetALCallbacks(102)",
                                                   "CT_MgmtDestroyAL(102)",
                                                   "CT_MgmtGetErrorString(9)",
                                                   "CT_MgmtGetLibError",
                                                   "CT_MgmtGetALStatus(100)",
                                                   "CT_MgmtSetALStatus(100,0)",
                                                   "CT_MgmtDestroyAL(100)",
                                                   "CT_MgmtGetALStatus(101)",
                                                   "CT_MgmtSetALStatus(101,0)",
                                                   "CT_MgmtDestroyAL(101)",
                                                   "CT_MgmtShutdown",
                                                   "CT_PushShutdown"};
    ASSERT_GE(calls.size(), expectedTail.size());
    EXPECT_EQ(
        std::vector<std::string>(calls.end() - static_cast<long>(expectedTail.size()), calls.end()),
        expectedTail);
    EXPECT_FALSE(w.tmrAdvertise.isActive());
}

// ---- the display and notify callbacks ----------------------------------------------------

TEST_F(Timesink, DisplayCallbackShowsThePictureInItsSpace) {
    frmMM& w = Start(true);
    const std::string banner = env.Path("ads/one.gif");
    const std::string button = env.Path("ads/two.gif");
    WriteFile(banner, TinyGif(468, 60, qRgb(200, 0, 0)));
    WriteFile(button, TinyGif(55, 25, qRgb(0, 200, 0)));

    EXPECT_EQ(library.Display(0, banner.c_str()), 0);
    EXPECT_EQ(w.tsBannerAd->FileName(), banner);
    EXPECT_TRUE(w.tsBannerAd->IsRunning());
    EXPECT_EQ(library.displayResults.back(), std::make_pair(100, 0));

    EXPECT_EQ(library.Display(5, button.c_str()), 0);
    EXPECT_EQ(w.tsZeredButton1->FileName(), button);
    EXPECT_EQ(library.displayResults.back(), std::make_pair(101, 0));
    EXPECT_EQ(library.Display(6, button.c_str()), 0);
    EXPECT_EQ(w.tsZeredButton2->FileName(), button);
    EXPECT_EQ(library.displayResults.back(), std::make_pair(102, 0));
    EXPECT_EQ(w.tsBannerAd->FileName(), banner);
}

TEST_F(Timesink, DisplayCallbackEdgeCases) {
    frmMM& w = Start(true);
    const std::string good = env.Path("ads/good.gif");
    WriteFile(good, TinyGif(468, 60, qRgb(200, 0, 0)));
    const std::string before = w.tsBannerAd->FileName();
    const AdCallbackRecord& record = library.locations.at(100).record;
    const size_t reported = library.displayResults.size();

    // No user data: nothing changes, nothing is reported.
    EXPECT_EQ(record.display(good.c_str(), 0), -1);
    EXPECT_EQ(record.display(good.c_str(), -8), -1);
    EXPECT_EQ(w.tsBannerAd->FileName(), before);
    EXPECT_EQ(library.displayResults.size(), reported);

    // An empty path: accepted, nothing reported.
    EXPECT_EQ(record.display("", record.displayData), 0);
    EXPECT_EQ(record.display(nullptr, record.displayData), 0);
    EXPECT_EQ(w.tsBannerAd->FileName(), before);
    EXPECT_EQ(library.displayResults.size(), reported);

    // User data of no space: no control changes, the result goes to handle 0.
    EXPECT_EQ(record.display(good.c_str(), record.displayData + 4096), 0);
    EXPECT_EQ(w.tsBannerAd->FileName(), before);
    EXPECT_TRUE(w.tsZeredButton1->FileName().empty());
    EXPECT_TRUE(w.tsZeredButton2->FileName().empty());
    ASSERT_EQ(library.displayResults.size(), reported + 1);
    EXPECT_EQ(library.displayResults.back(), std::make_pair(0, 0));
}

TEST_F(Timesink, PictureThatCannotBeReadIsReportedAsNotShown) {
    frmMM& w = Start(true);
    const std::string broken = env.Path("ads/broken.gif");
    WriteFile(broken, "GIF89a and then nothing useful");
    EXPECT_EQ(library.Display(0, broken.c_str()), -1);
    EXPECT_EQ(library.displayResults.back(), std::make_pair(100, 3));
    // The banner keeps what it showed.
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("brisa_banner.gif"));

    const std::string missing = env.Path("ads/missing.gif");
    EXPECT_EQ(library.Display(5, missing.c_str()), -1);
    EXPECT_EQ(library.displayResults.back(), std::make_pair(101, 3));
}

TEST_F(Timesink, DisplayCallbackReadsAtMost257CharactersOfThePath) {
    frmMM& w = Start(true);
    const std::string folder = env.Path("ads/");
    ASSERT_LT(folder.size() + 10, kAdMaxPath);
    // A picture whose path is exactly 257 characters long.
    const std::string name = std::string(kAdMaxPath - folder.size() - 4, 'p') + ".gif";
    const std::string path = folder + name;
    ASSERT_EQ(path.size(), kAdMaxPath);
    WriteFile(path, TinyGif(468, 60, qRgb(0, 120, 0)));
    const std::string longer = path + "-what-follows-is-not-read";
    EXPECT_EQ(library.Display(0, longer.c_str()), 0);
    EXPECT_EQ(w.tsBannerAd->FileName(), path);
}

TEST_F(Timesink, NotifyCallbackPassesItsValueToTheBridge) {
    Start(true);
    const AdCallbackRecord& record = library.locations.at(101).record;
    EXPECT_EQ(record.notify(kAdNotifyClick, 4242, record.notifyData), 0);
    EXPECT_EQ(library.adClicks, std::vector<intptr_t>{4242});
}

// ---- the window's side -----------------------------------------------------------------------

TEST_F(Timesink, BannerClickGoesToTheLibraryWhileAdvertisingWorks) {
    Put("PlaySounds", "1");
    frmMM& w = Start(true);
    fakes.sound.played.clear();
    QTest::mouseClick(w.tsBannerAd, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(library.clicks, std::vector<int32_t>{100});
    EXPECT_EQ(fakes.sound.Names(), std::vector<std::string>{"click.wav"});
    EXPECT_TRUE(fakes.shell.opened.empty());

    // With a marker the banner opens it instead.
    w.tsBannerAd->Tag = "https://brisamail.example.com/";
    w.tsBannerAd_Click();
    EXPECT_EQ(library.clicks.size(), 1u);
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{"https://brisamail.example.com/"});
    EXPECT_EQ(fakes.sound.Names(), (std::vector<std::string>{"click.wav", "click.wav"}));
}

TEST_F(Timesink, PartnerButtonClicksGoToTheLibraryWithoutASound) {
    Put("PlaySounds", "1");
    frmMM& w = Start(true);
    fakes.sound.played.clear();
    w.TsZeredButton1_Click();
    w.TsZeredButton2_Click();
    EXPECT_EQ(library.clicks, (std::vector<int32_t>{101, 102}));
    EXPECT_TRUE(fakes.sound.played.empty());
    EXPECT_TRUE(fakes.shell.opened.empty());
}

TEST_F(Timesink, FailedStartBannerClickOpensTheHelpPage) {
    library.pushInitResult = 1;
    frmMM& w = Start(true);
    w.tsBannerAd_Click();
    w.TsZeredButton1_Click();
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.Path("htm/help.htm")});
    EXPECT_TRUE(library.clicks.empty());
}

TEST_F(Timesink, PostSaysWhetherAdvertisingWorks) {
    frmMM& w = Start(true);
    EXPECT_EQ(AdvertisingRow(), "X-TSworking: Yes");
    w.tsBannerAd->Tag = "https://brisamail.example.com/";
    EXPECT_EQ(AdvertisingRow(), "X-TSworking: No");
}

TEST_F(Timesink, PostSaysNoWhenTheLibraryDidNotStart) {
    library.pushInitResult = 1;
    Start(true);
    EXPECT_EQ(AdvertisingRow(), "X-TSworking: No");
}

TEST_F(Timesink, TrayHideAndShowMarkTheLocations) {
    library.initialStatus = 0x100;
    frmMM& w = Start(true);
    for (int32_t handle : {100, 101, 102})
        EXPECT_EQ(library.locations.at(handle).status, 0x101u);

    w.cmdClose_Click();
    for (int32_t handle : {100, 101, 102})
        EXPECT_EQ(library.locations.at(handle).status, 0x100u) << handle;
    w.mnuFileSend_Click();
    for (int32_t handle : {100, 101, 102})
        EXPECT_EQ(library.locations.at(handle).status, 0x101u) << handle;
    w.cmdHide_Click();
    for (int32_t handle : {100, 101, 102})
        EXPECT_EQ(library.locations.at(handle).status, 0x100u) << handle;
    ASSERT_TRUE(fakes.tray.callback);
    fakes.tray.callback(WM_LBUTTONDBLCLK);
    for (int32_t handle : {100, 101, 102})
        EXPECT_EQ(library.locations.at(handle).status, 0x101u) << handle;
}

TEST_F(Timesink, TimerTicksReachTheLibraryOnlyWhileTheMarkerIsEmpty) {
    frmMM& w = Start(true);
    TakeCalls();
    w.tmrAdvertise_Timer();
    w.tmrAdvertise_Timer();
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"CT_MgmtProgress", "CT_MgmtProgress"}));
    w.tsBannerAd->Tag = "https://brisamail.example.com/";
    w.tmrAdvertise_Timer();
    EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(Timesink, PaintDrawsTheLocationRecords) {
    frmMM& w = Start(true);
    library.draws.clear();
    w.grab();
    ASSERT_GE(library.draws.size(), 3u);
    const std::vector<const AdLocation*> first(library.draws.begin(), library.draws.begin() + 3);
    const cAniGif* controls[] = {w.tsBannerAd, w.tsZeredButton1, w.tsZeredButton2};
    for (int i = 0; i < 3; ++i) {
        const AdLocation* location = first[static_cast<size_t>(i)];
        EXPECT_EQ(location->handle, 100 + i);
        // Each record's id is its own address, and the library knows it as the user data.
        EXPECT_EQ(location->id, reinterpret_cast<intptr_t>(location));
        EXPECT_EQ(location->window, controls[i]);
        EXPECT_EQ(library.locations.at(100 + i).record.displayData, location->id);
    }
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

TEST_F(Timesink, WithoutALibraryNothingStarts) {
    Put("ShowZered", "Yes");
    services = fakes.Wire();
    window = std::make_unique<frmMM>(services, "");
    window->Form_Load();
    window->FinishStartUp();
    EXPECT_FALSE(window->tmrAdvertise.isActive());
    EXPECT_EQ(window->tsBannerAd->Tag, env.Path("htm/help.htm"));
    window->tsBannerAd_Click();
    window->TsZeredButton1_Click();
    window->grab();
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.Path("htm/help.htm")});
}

// cTimesink on its own: the calls a location needs.
TEST(TimesinkModule, ShowAndHideChangeOnlyBitZero) {
    RecordingAdLibrary library;
    library.initialStatus = 0xF0;
    cTimesink ads(&library, nullptr);
    ASSERT_TRUE(ads.AdInit());
    AdLocation location;
    location.id = 77;
    ASSERT_TRUE(ads.AdCreateLocation(location, 1, 0));
    EXPECT_EQ(location.handle, 100);
    EXPECT_EQ(library.locations.at(100).status, 0xF1u);
    ads.AdHide(100);
    EXPECT_EQ(library.locations.at(100).status, 0xF0u);
    ads.AdHide(100);
    EXPECT_EQ(library.locations.at(100).status, 0xF0u);
    ads.AdShow(100);
    EXPECT_EQ(library.locations.at(100).status, 0xF1u);
    EXPECT_EQ(library.locations.at(100).record.displayData, 77);
}

TEST(TimesinkModule, FailedCreationLeavesHandleMinusOne) {
    RecordingAdLibrary library;
    library.failCreateFor = {5};
    library.failCallbacksFor = {{6, 2}};
    cTimesink ads(&library, nullptr);
    ASSERT_TRUE(ads.AdInit());
    AdLocation five, six;
    EXPECT_FALSE(ads.AdCreateLocation(five, 10, 5));
    EXPECT_EQ(five.handle, -1);
    EXPECT_FALSE(ads.AdCreateLocation(six, 10, 6));
    EXPECT_EQ(six.handle, -1);
    EXPECT_EQ(library.CallsStartingWith("CT_MgmtDestroyAL"),
              std::vector<std::string>{"CT_MgmtDestroyAL(100)"});
}

TEST(TimesinkModule, NullLibraryNeverStarts) {
    cTimesink ads(nullptr, nullptr);
    EXPECT_FALSE(ads.AdInit());
    EXPECT_FALSE(ads.AdCreateLocations());
    AdLocation location;
    EXPECT_FALSE(ads.AdCreateLocation(location, 1, 0));
    ads.AdShowAll();
    ads.AdHideAll();
    ads.Progress();
    ads.AdDraw();
    ads.AdClick(AdSpace::Banner);
    ads.AdShutdown();
    EXPECT_EQ(ads.DisplayCallback("x.gif", 5), 0);
    EXPECT_FALSE(ads.IsRunning());
}

} // namespace
} // namespace brisa::test
