// The program's own advertising library on a temporary ads folder, alone
// and behind the main window; and the ads list the program ships.
#include "ads/house_ads.h"
#include "ads/timesink.h"
#include "app/main_window.h"

#include "common/globals.h"
#include "skin/anigif.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"
#include "tools/art_files.h"
#include "tools/gif_encoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMovie>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace brisa::test {
namespace {

const std::string kProgramKey = "SOFTWARE\\BrisaMail, Inc.\\BrisaMailer";

std::string TinyGif(int pWidth, int pHeight, QRgb pColour) {
    QImage first(pWidth, pHeight, QImage::Format_RGB32);
    first.fill(pColour);
    QImage second = first;
    second.setPixel(0, 0, qRgb(255, 255, 255));
    return art::EncodeAnimation({first, second}, {10, 10});
}

void RunEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// ---- the list of pictures ----------------------------------------------------------------

TEST(AdsList, ReadsNumberPictureAndTarget) {
    const auto entries = HouseAds::ParseAdsList("\xEF\xBB\xBF# comment line\r\n"
                                                "\r\n"
                                                "0\tbanner one.gif\thtm/help.htm#record\r\n"
                                                "5   button.gif    https://example.com/a b\n"
                                                "  6 only-picture.gif\n"
                                                "   # indented comment\n"
                                                "x\tnot-a-number.gif\ttarget\n"
                                                "-1\tnegative.gif\ttarget\n"
                                                "7\n"
                                                "8\t\t\tspaced.gif\t\tfaq.htm");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].number, 0);
    EXPECT_EQ(entries[0].picture, "banner one.gif");
    EXPECT_EQ(entries[0].target, "htm/help.htm#record");
    EXPECT_EQ(entries[1].number, 5);
    EXPECT_EQ(entries[1].picture, "button.gif");
    EXPECT_EQ(entries[1].target, "https://example.com/a b");
    EXPECT_EQ(entries[2].number, 6);
    EXPECT_EQ(entries[2].picture, "only-picture.gif");
    EXPECT_EQ(entries[2].target, "");
    EXPECT_EQ(entries[3].number, 8);
    EXPECT_EQ(entries[3].picture, "spaced.gif");
    EXPECT_EQ(entries[3].target, "faq.htm");
}

TEST(AdsList, HostileTextGivesNoEntriesAndNoCrash) {
    EXPECT_TRUE(HouseAds::ParseAdsList("").empty());
    EXPECT_TRUE(HouseAds::ParseAdsList(std::string(5000, '\t')).empty());
    EXPECT_TRUE(HouseAds::ParseAdsList("99999999999999999999 big.gif x\n").empty());
    EXPECT_TRUE(HouseAds::ParseAdsList(std::string("0\0zero.gif\n", 11)).empty());
}

// ---- the library behind the main window ------------------------------------------------------

class HouseAdsWindow : public ::testing::Test {
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
    // The shipped list and its pictures in the program folder.
    void ShipAds() {
        WriteFile(env.Path("ads/ads.txt"),
                  ReadFile(std::string(BRISA_SOURCE_DIR) + "/data/ads/ads.txt"));
        // Drawn once for all the tests.
        static const std::map<std::string, std::string> pictures = [] {
            std::map<std::string, std::string> drawn;
            for (const std::string& name : art::ArtFileNames())
                if (name.rfind("ads/", 0) == 0) drawn[name] = art::ArtFileBytes(name);
            return drawn;
        }();
        for (const auto& [name, bytes] : pictures)
            WriteFile(env.Path(name), bytes);
    }
    frmMM& Start() {
        services = fakes.Wire();
        services.ads = &ads;
        window = std::make_unique<frmMM>(services, "");
        window->Form_Load();
        window->FinishStartUp();
        RunEvents();
        return *window;
    }
    void Ticks(int pCount) {
        for (int i = 0; i < pCount; ++i)
            window->tmrAdvertise_Timer();
    }

    TempEnv env;
    FakeServices fakes;
    HouseAds ads{&fakes.shell};
    Services services;
    std::unique_ptr<frmMM> window;
};

TEST_F(HouseAdsWindow, ServesTheShippedPicturesAndOpensTheirPages) {
    ShipAds();
    Put("ShowZered", "Yes");
    frmMM& w = Start();
    ASSERT_TRUE(w.tmrAdvertise.isActive());
    EXPECT_TRUE(w.tsBannerAd->Tag.empty());
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_record.gif"));
    EXPECT_EQ(w.tsZeredButton1->FileName(), env.Path("ads/button_help.gif"));
    EXPECT_EQ(w.tsZeredButton2->FileName(), env.Path("ads/button_faq.gif"));
    EXPECT_TRUE(w.tsBannerAd->IsRunning());
    EXPECT_EQ(w.tsBannerAd->movie()->currentImage().size(), QSize(468, 60));
    EXPECT_EQ(w.tsZeredButton1->movie()->currentImage().size(), QSize(55, 25));

    w.tsBannerAd_Click();
    w.TsZeredButton2_Click();
    ASSERT_EQ(fakes.shell.opened.size(), 2u);
    const QUrl page(QString::fromStdString(fakes.shell.opened[0]));
    EXPECT_EQ(page.toLocalFile().toStdString(), env.Path("htm/help.htm"));
    EXPECT_EQ(page.fragment().toStdString(), "record");
    EXPECT_EQ(fakes.shell.opened[1], env.Path("htm/faq.htm"));

    // Thirty seconds on screen bring the next banner and buttons.
    Ticks(29);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_record.gif"));
    Ticks(1);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_books.gif"));
    EXPECT_EQ(w.tsZeredButton1->FileName(), env.Path("ads/button_keys.gif"));
    EXPECT_EQ(w.tsZeredButton2->FileName(), env.Path("ads/button_setup.gif"));

    // In the tray nothing changes; back on screen the rotation goes on.
    w.cmdClose_Click();
    Ticks(120);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_books.gif"));
    w.mnuFileSend_Click();
    Ticks(30);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_tray.gif"));
}

TEST_F(HouseAdsWindow, AGermanSessionShowsGermanPicturesAndEnglishWhereThereIsNone) {
    ShipAds();
    std::remove(env.Path("ads/00000407/button_faq.gif").c_str());
    WriteFile(env.Path("zovid.gif"), TinyGif(88, 31, qRgb(0, 0, 200)));
    WriteFile(env.Path("00000407/zovid.gif"), TinyGif(88, 31, qRgb(0, 200, 0)));
    Put("ShowZered", "Yes");
    Put("ShowZovid", "Yes");
    fakes.system.languageId = 0x0407;
    frmMM& w = Start();
    EXPECT_EQ(w.gifZovid->FileName(), env.Path("00000407/zovid.gif"));
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/00000407/banner_record.gif"));
    EXPECT_EQ(w.tsZeredButton1->FileName(), env.Path("ads/00000407/button_help.gif"));
    EXPECT_EQ(w.tsZeredButton2->FileName(), env.Path("ads/button_faq.gif"));
    EXPECT_TRUE(w.tsBannerAd->IsRunning());
    // The click still opens the page the list names.
    w.tsBannerAd_Click();
    ASSERT_EQ(fakes.shell.opened.size(), 1u);
    EXPECT_EQ(QUrl(QString::fromStdString(fakes.shell.opened[0])).fragment().toStdString(), "record");
    Ticks(30);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/00000407/banner_books.gif"));
}

TEST_F(HouseAdsWindow, WithoutTheListTheProgramStartsWithItsOwnBanner) {
    // Its own banner in the user's language, where there is one.
    WriteFile(env.Path("00000407/brisa_banner.gif"), TinyGif(468, 60, qRgb(0, 200, 0)));
    fakes.system.languageId = 0x0407;
    EXPECT_EQ(Start().tsBannerAd->FileName(), env.Path("00000407/brisa_banner.gif"));
    window.reset();
    fakes.system.languageId = 0x0409;
    frmMM& w = Start();
    EXPECT_FALSE(w.IsSecondCopy());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.m_Mode, "");
    EXPECT_FALSE(w.tmrAdvertise.isActive());
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("brisa_banner.gif"));
    EXPECT_EQ(ads.CT_PushGetLibError().find("ads.txt") != std::string::npos, true);
    w.tsBannerAd_Click();
    EXPECT_EQ(fakes.shell.opened, std::vector<std::string>{env.Path("htm/help.htm")});
}

TEST_F(HouseAdsWindow, BrokenPictureIsReportedAndTheBannerKeepsItsOwn) {
    WriteFile(env.Path("ads/ads.txt"), "0 broken.gif htm/help.htm\n");
    WriteFile(env.Path("ads/broken.gif"), "GIF89a\x01");
    frmMM& w = Start();
    EXPECT_TRUE(w.tmrAdvertise.isActive());
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("brisa_banner.gif"));
    EXPECT_EQ(ads.LastResult(1), kAdNotShown);
}

// ---- what the program ships
// ----------------------------------------------------------------------

TEST(ShippedAds, ListNamesDrawnPicturesAndExistingPages) {
    const std::string source = BRISA_SOURCE_DIR;
    const auto entries = HouseAds::ParseAdsList(ReadFile(source + "/data/ads/ads.txt"));
    ASSERT_FALSE(entries.empty());
    const std::vector<std::string> art = art::ArtFileNames();
    std::set<int32_t> numbers;
    for (const HouseAds::Entry& entry : entries) {
        SCOPED_TRACE(entry.picture);
        numbers.insert(entry.number);
        // Every picture is drawn in English and in German.
        EXPECT_NE(std::find(art.begin(), art.end(), "ads/" + entry.picture), art.end());
        EXPECT_NE(std::find(art.begin(), art.end(), "ads/00000407/" + entry.picture), art.end());
        ASSERT_FALSE(entry.target.empty());
        const std::string page = entry.target.substr(0, entry.target.find('#'));
        const std::string text = ReadFile(source + "/data/" + page);
        ASSERT_FALSE(text.empty()) << page;
        if (entry.target.find('#') != std::string::npos) {
            const std::string anchor = entry.target.substr(entry.target.find('#') + 1);
            EXPECT_NE(text.find("id=\"" + anchor + "\""), std::string::npos) << anchor;
        }
    }
    EXPECT_EQ(numbers, (std::set<int32_t>{0, 5, 6}));
}

} // namespace
} // namespace brisa::test
