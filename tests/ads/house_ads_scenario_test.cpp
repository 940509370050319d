// The program's own advertisements as a user meets them: the shipped list
// and pictures in the program folder, the pictures changing every thirty
// seconds on screen and waiting in the tray, a click opening the help page
// the list names, German pictures where there are some; and the program's
// own banner when the list is missing or a picture broken.
#include "app/composition.h"

#include "ads/house_ads.h"
#include "language/translation.h"
#include "skin/anigif.h"
#include "skin/label_button.h"
#include "tests/app/program_fixture.h"
#include "tools/art_files.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

namespace brisa::test {
namespace {

const std::string kSource = BRISA_SOURCE_DIR;

class HouseAdsScenario : public ProgramScenario {
protected:
    void SetUp() override {
        ProgramScenario::SetUp();
        for (const char* id : {"00000409", "00000407"})
            WriteFile(env.Path(std::string("lang/") + id + ".txt"), ReadFile(kSource + "/data/lang/" + id + ".txt"));
        for (const std::string& name : art::ArtFileNames())
            if (name.find(".gif") != std::string::npos) WriteFile(env.Path(name), Drawn(name));
        WriteFile(env.Path("ads/ads.txt"), ReadFile(kSource + "/data/ads/ads.txt"));
        Set("ShowZered", "Yes");
        Set("LargeFontWarning", "1");
    }
    static std::string Drawn(const std::string& pName) { // once for all scenarios
        static std::map<std::string, std::string> drawn;
        return drawn.count(pName) ? drawn[pName] : drawn[pName] = art::ArtFileBytes(pName);
    }
    // The banner and the two buttons: the pictures they show.
    std::string Pictures(frmMM& w) {
        auto name = [&](cAniGif* p) { return QString::fromStdString(p->FileName()).remove(env.Path("").c_str()).toStdString(); };
        return name(w.tsBannerAd) + " " + name(w.tsZeredButton1) + " " + name(w.tsZeredButton2);
    }
    static void Ticks(frmMM& w, int pSeconds) {
        for (int i = 0; i < pSeconds; ++i) w.tmrAdvertise_Timer();
    }
};

TEST_F(HouseAdsScenario, ThePicturesChangeAndOpenTheirPages) {
    // What the list names is drawn in both languages and leads to a page
    // that has the anchor.
    for (const HouseAds::Entry& entry : HouseAds::ParseAdsList(ReadFile(env.Path("ads/ads.txt")))) {
        EXPECT_FALSE(Drawn("ads/" + entry.picture).empty() || Drawn("ads/00000407/" + entry.picture).empty());
        const size_t hash = entry.target.find('#');
        const std::string page = ReadFile(kSource + "/data/" + entry.target.substr(0, hash));
        EXPECT_TRUE(hash == std::string::npos ? !page.empty()
                                              : page.find("id=\"" + entry.target.substr(hash + 1) + "\"") != std::string::npos)
            << entry.target;
    }

    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    frmMM& w = program.window;
    ASSERT_TRUE(WaitFor([&] { return w.tsZeredButton2->IsRunning(); }));
    EXPECT_EQ(Pictures(w), "ads/banner_record.gif ads/button_help.gif ads/button_faq.gif");
    QTest::mouseClick(w.tsBannerAd, Qt::LeftButton);
    QTest::mouseClick(w.tsZeredButton2, Qt::LeftButton);
    EXPECT_EQ(opened.urls.join(' ').toStdString(),
              "file://" + env.Path("htm/help.htm#record") + " file://" + env.Path("htm/faq.htm"));

    // Thirty seconds on screen bring the next pictures; in the tray nothing
    // changes; back on screen the rotation goes on.
    Ticks(w, 29);
    EXPECT_EQ(Pictures(w), "ads/banner_record.gif ads/button_help.gif ads/button_faq.gif");
    Ticks(w, 1);
    EXPECT_EQ(Pictures(w), "ads/banner_books.gif ads/button_keys.gif ads/button_setup.gif");
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    Ticks(w, 120);
    EXPECT_EQ(Pictures(w), "ads/banner_books.gif ads/button_keys.gif ads/button_setup.gif");
    w.mnuFileSend_Click();
    Ticks(w, 30);
    EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/banner_tray.gif"));
}

TEST_F(HouseAdsScenario, GermanPicturesAndTheProgramsOwnBanner) {
    std::remove(env.Path("ads/00000407/button_faq.gif").c_str());
    Set("ShowZovid", "Yes");
    qputenv("LC_ALL", "de_CH.UTF-8");
    {
        OpenedAddresses opened;
        Program program("");
        ASSERT_TRUE(program.Start());
        frmMM& w = program.window;
        ASSERT_TRUE(WaitFor([&] { return w.tsZeredButton2->IsRunning(); }));
        EXPECT_EQ(Tr("mm0063"), "Aufnahme");
        EXPECT_EQ(w.gifZovid->FileName(), env.Path("00000407/zovid.gif"));
        // No German picture of the third: the English one.
        EXPECT_EQ(Pictures(w), "ads/00000407/banner_record.gif ads/00000407/button_help.gif ads/button_faq.gif");
        QTest::mouseClick(w.tsBannerAd, Qt::LeftButton);
        EXPECT_EQ(opened.urls.join(' ').toStdString(), "file://" + env.Path("htm/help.htm#record"));
        Ticks(w, 30);
        EXPECT_EQ(w.tsBannerAd->FileName(), env.Path("ads/00000407/banner_books.gif"));
    }
    // A broken picture (lines that name none around it): the banner keeps
    // the program's own, German one. No partner buttons this time.
    WriteFile(env.Path("ads/ads.txt"), "\xEF\xBB\xBF# pictures\nx bad.gif\n7\n0 broken.gif htm/help.htm\n");
    Set("ShowZered", "No");
    WriteFile(env.Path("ads/broken.gif"), "GIF89a\x01");
    {
        Program program("");
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(WaitFor([&] { return program.houseAds.LastResult(1) != -1; }));
        EXPECT_TRUE(program.window.tmrAdvertise.isActive());
        EXPECT_EQ(program.window.tsBannerAd->FileName(), env.Path("00000407/brisa_banner.gif"));
    }
    // No list: no advertising; the banner is the program's own and opens help.
    std::remove(env.Path("ads/ads.txt").c_str());
    qputenv("LC_ALL", "C.UTF-8");
    OpenedAddresses opened;
    Program program("");
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(WaitFor([&] { return !program.window.tsBannerAd->FileName().empty(); }));
    EXPECT_FALSE(program.window.tmrAdvertise.isActive());
    EXPECT_EQ(program.window.tsBannerAd->FileName(), env.Path("brisa_banner.gif"));
    QTest::mouseClick(program.window.tsBannerAd, Qt::LeftButton);
    EXPECT_EQ(opened.urls.join(' ').toStdString(), "file://" + env.Path("htm/help.htm"));
    QTest::mouseClick(program.window.cmdClose, Qt::LeftButton);
}

} // namespace
} // namespace brisa::test

int main(int argc, char** argv) { return brisa::test::ScenarioMain(argc, argv); }
