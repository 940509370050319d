#include "tests/support/temp_env.h"
#include "tests/tools/gif_decode.h"
#include "tools/art_files.h"
#include "tools/artwork.h"

#include <QFile>
#include <algorithm>
#include <QMovie>
#include <QStringList>
#include <gtest/gtest.h>

using namespace brisa::art;
using brisa::test::DecodeGif;
using brisa::test::ReadFile;
using brisa::test::TempEnv;

namespace {

// Writes the data files once for the whole group; the writing is the slow part.
class ArtFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_Env = new TempEnv;
        std::string error;
        s_Written = WriteArtFiles(s_Env->ProgramFolder(), error);
        s_Error = error;
    }
    static void TearDownTestSuite() {
        delete s_Env;
        s_Env = nullptr;
    }
    static std::string File(const std::string& pName) { return ReadFile(s_Env->Path(pName)); }

    static TempEnv* s_Env;
    static bool s_Written;
    static std::string s_Error;
};

TempEnv* ArtFiles::s_Env = nullptr;
bool ArtFiles::s_Written = false;
std::string ArtFiles::s_Error;

int Luminance(QRgb pColour) {
    return (299 * qRed(pColour) + 587 * qGreen(pColour) + 114 * qBlue(pColour)) / 1000;
}

std::uint32_t Le32(const std::string& pBytes, std::size_t pAt) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(pBytes[pAt + i]);
    return value;
}

int MovieFrameCount(const std::string& pPath, QSize& pFirstFrameSize) {
    QMovie movie(QString::fromStdString(pPath));
    if (!movie.isValid())
        return -1;
    if (movie.jumpToFrame(0))
        pFirstFrameSize = movie.currentImage().size();
    return movie.frameCount();
}

} // namespace

TEST_F(ArtFiles, WritesEveryFileTheBuildExpects) {
    ASSERT_TRUE(s_Written) << s_Error;
    const QStringList expected = QStringLiteral(BRISA_ART_FILES).split(',');
    std::vector<std::string> names;
    for (const QString& name : expected)
        names.push_back(name.toStdString());
    EXPECT_EQ(ArtFileNames(), names);
    for (const std::string& name : ArtFileNames()) {
        EXPECT_TRUE(QFile::exists(QString::fromStdString(s_Env->Path(name)))) << name;
        EXPECT_FALSE(File(name).empty()) << name;
    }
}

TEST_F(ArtFiles, AnimatedPicturesDecodeWithTheirSizesAndFrames) {
    ASSERT_TRUE(s_Written) << s_Error;
    struct Expected {
        std::string name;
        QSize size;
    };
    for (const Expected& gif :
         {Expected{"logo.gif", QSize(47, 45)}, Expected{"zovid.gif", QSize(88, 31)},
          Expected{"brisa_banner.gif", QSize(468, 60)}, Expected{"00000407/zovid.gif", QSize(88, 31)},
          Expected{"00000407/brisa_banner.gif", QSize(468, 60)}}) {
        SCOPED_TRACE(gif.name);
        const auto decoded = DecodeGif(File(gif.name));
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.size, gif.size);
        EXPECT_GT(decoded.imageCount, 1);
        EXPECT_EQ(static_cast<int>(decoded.frames.size()), decoded.imageCount);
        EXPECT_EQ(decoded.loopCount, -1);
        for (const QImage& frame : decoded.frames)
            EXPECT_EQ(frame.size(), gif.size);
        for (int delay : decoded.delaysMs)
            EXPECT_GT(delay, 0);
        // Consecutive frames differ: the picture moves.
        for (std::size_t n = 1; n < decoded.frames.size(); ++n)
            EXPECT_NE(decoded.frames[n], decoded.frames[n - 1]) << "frame " << n;

        QSize movieFrame;
        EXPECT_EQ(MovieFrameCount(s_Env->Path(gif.name), movieFrame), decoded.imageCount);
        EXPECT_EQ(movieFrame, gif.size);
    }
    EXPECT_EQ(DecodeGif(File("logo.gif")).imageCount, 8);
    EXPECT_LT(File("brisa_banner.gif").size(), 200u * 1024u);
}

TEST_F(ArtFiles, HouseAdsHaveTheSizesOfTheirSpacesAndMove) {
    ASSERT_TRUE(s_Written) << s_Error;
    const std::vector<HouseAd> ads = HouseAdPictures();
    ASSERT_GE(ads.size(), 4u);
    const std::vector<std::string> names = ArtFileNames();
    int banners = 0;
    for (const HouseAd& ad : ads) {
        SCOPED_TRACE(ad.file);
        EXPECT_NE(std::find(names.begin(), names.end(), ad.file), names.end());
        EXPECT_EQ(ad.file.rfind("ads/", 0), 0u);
        const QSize size = ad.location == 0 ? QSize(468, 60) : QSize(55, 25);
        banners += ad.location == 0 ? 1 : 0;
        EXPECT_TRUE(ad.location == 0 || ad.location == 5 || ad.location == 6);
        const auto decoded = DecodeGif(File(ad.file));
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.size, size);
        EXPECT_GT(decoded.imageCount, 1);
        EXPECT_EQ(decoded.loopCount, -1);
        for (std::size_t n = 1; n < decoded.frames.size(); ++n)
            EXPECT_NE(decoded.frames[n], decoded.frames[n - 1]) << "frame " << n;
        EXPECT_LT(File(ad.file).size(), 100u * 1024u);
    }
    EXPECT_GE(banners, 2);
}

TEST_F(ArtFiles, LogoRestsOnItsFirstFrame) {
    ASSERT_TRUE(s_Written) << s_Error;
    // The resting picture is drawn from the same pieces as the animation:
    // only the waves change, so the microphone's pixels are the same.
    const auto decoded = DecodeGif(File("logo.gif"));
    ASSERT_GE(decoded.frames.size(), 2u);
    const QPoint capsule(23, 12);
    EXPECT_EQ(decoded.frames[0].pixel(capsule), decoded.frames[1].pixel(capsule));
    EXPECT_GT(Luminance(decoded.frames[0].pixel(capsule)), 200);
}

TEST_F(ArtFiles, SkinHasTheWindowSizeAndAFlatOutside) {
    ASSERT_TRUE(s_Written) << s_Error;
    QImage skin;
    ASSERT_TRUE(skin.load(QString::fromStdString(s_Env->Path("skins/frmMM.jpg")), "JPG"));
    EXPECT_EQ(skin.size(), QSize(577, 324));

    const QRgb inside = skin.pixel(300, 230);
    // Corners outside the outline: square ones and the two curved ones.
    for (QPoint outside : {QPoint(1, 1), QPoint(576, 323), QPoint(576, 0), QPoint(0, 323),
                           QPoint(5, 5), QPoint(570, 317)}) {
        const QRgb colour = skin.pixel(outside);
        EXPECT_NE(colour, inside) << outside.x() << "," << outside.y();
        EXPECT_NEAR(qRed(colour), qRed(OutsideColour()), 10) << outside.x() << "," << outside.y();
        EXPECT_NEAR(qGreen(colour), qGreen(OutsideColour()), 10)
            << outside.x() << "," << outside.y();
        EXPECT_NEAR(qBlue(colour), qBlue(OutsideColour()), 10) << outside.x() << "," << outside.y();
    }
    EXPECT_GT(std::abs(qBlue(inside) - qBlue(OutsideColour())), 20);
}

TEST_F(ArtFiles, SkinHasAButtonShapeUnderEveryButtonLabel) {
    ASSERT_TRUE(s_Written) << s_Error;
    QImage skin(QString::fromStdString(s_Env->Path("skins/frmMM.jpg")));
    ASSERT_FALSE(skin.isNull());
    ASSERT_EQ(MainButtonLabels().size(), 10u);
    for (const SkinSpot& button : MainButtonLabels()) {
        SCOPED_TRACE(button.name);
        const QRect r = button.rect;
        const QPoint c = r.center();
        // The middle and the middle of every edge of the label lie on the light shape.
        for (QPoint at : {c, QPoint(r.left(), c.y()), QPoint(r.right(), c.y()),
                          QPoint(c.x(), r.top()), QPoint(c.x(), r.bottom())})
            EXPECT_GT(Luminance(skin.pixel(at)), 170) << at.x() << "," << at.y();
    }
    // Between the transport buttons the body shows through.
    EXPECT_LT(Luminance(skin.pixel(45, 90)), 130);
}

TEST_F(ArtFiles, SkinIsDarkBehindTheWhiteLabels) {
    ASSERT_TRUE(s_Written) << s_Error;
    QImage skin(QString::fromStdString(s_Env->Path("skins/frmMM.jpg")));
    ASSERT_FALSE(skin.isNull());
    for (const SkinSpot& label : MainWhiteLabels()) {
        int brightest = 0;
        for (int y = label.rect.top(); y <= label.rect.bottom(); ++y)
            for (int x = label.rect.left(); x <= label.rect.right(); ++x)
                brightest = std::max(brightest, Luminance(skin.pixel(x, y)));
        EXPECT_LT(brightest, 110) << label.name;
    }
}

TEST_F(ArtFiles, SoundsAreMono16BitWaveFiles) {
    ASSERT_TRUE(s_Written) << s_Error;
    for (const std::string& name : ArtFileNames()) {
        if (name.rfind("sounds/", 0) != 0)
            continue;
        SCOPED_TRACE(name);
        const std::string wav = File(name);
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Le32(wav, 16), 16u);
        EXPECT_EQ(Le32(wav, 20), 1u | 1u << 16); // PCM, one channel
        EXPECT_EQ(Le32(wav, 24), 22050u);
        EXPECT_EQ(Le32(wav, 28), 44100u);
        EXPECT_EQ(Le32(wav, 32), 2u | 16u << 16); // 2-byte blocks of 16 bits
        EXPECT_EQ(wav.substr(36, 4), "data");
        EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
    }
}

TEST_F(ArtFiles, SecondRunWritesTheSameBytes) {
    ASSERT_TRUE(s_Written) << s_Error;
    TempEnv other;
    std::string error;
    ASSERT_TRUE(WriteArtFiles(other.Path("again"), error)) << error;
    for (const std::string& name : ArtFileNames())
        EXPECT_TRUE(ReadFile(other.Path("again/" + name)) == File(name)) << name;
}

TEST(ArtFilesFailure, UnwritableFolderIsReported) {
    TempEnv env;
    // A file where the output folder should be.
    brisa::test::WriteFile(env.Path("blocked"), "not a folder");
    std::string error;
    EXPECT_FALSE(WriteArtFiles(env.Path("blocked"), error));
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(env.Path("blocked")), "not a folder");
}

TEST(ArtFilesFailure, UnknownNameHasNoBytes) {
    EXPECT_TRUE(ArtFileBytes("readme.txt").empty());
}

TEST(WindowOutline, FollowsTheWindowSize) {
    const QPolygon outline = WindowOutline(577, 324);
    ASSERT_EQ(outline.size(), 17);
    EXPECT_EQ(outline.first(), QPoint(25, 1));
    EXPECT_EQ(outline.last(), QPoint(25, 1));
    EXPECT_EQ(outline[1], QPoint(575, 1));
    EXPECT_EQ(outline[8], QPoint(552, 322));
    EXPECT_EQ(outline[9], QPoint(3, 322));
}

// ---- the options and address windows' skins ---------------------------------------

namespace {

QImage LoadSkin(const std::string& pPath) {
    QImage skin;
    skin.load(QString::fromStdString(pPath), "JPG");
    return skin;
}

bool NearColour(QRgb a, QRgb b, int pTolerance) {
    return std::abs(qRed(a) - qRed(b)) <= pTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= pTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= pTolerance;
}

// The middle and the middle of every edge of each label lie on a light shape.
void ExpectButtonShapes(const QImage& pSkin, const std::vector<SkinSpot>& pButtons) {
    for (const SkinSpot& button : pButtons) {
        SCOPED_TRACE(button.name);
        const QRect r = button.rect;
        const QPoint c = r.center();
        for (QPoint at : {c, QPoint(r.left(), c.y()), QPoint(r.right(), c.y()),
                          QPoint(c.x(), r.top()), QPoint(c.x(), r.bottom())})
            EXPECT_GT(Luminance(pSkin.pixel(at)), 170) << at.x() << "," << at.y();
    }
}

// Corners outside the 17-point outline show the flat outside colour.
void ExpectCutCorners(const QImage& pSkin) {
    const int w = pSkin.width(), h = pSkin.height();
    for (QPoint outside : {QPoint(1, 1), QPoint(w - 1, h - 1), QPoint(w - 1, 0), QPoint(0, h - 1),
                           QPoint(5, 5), QPoint(w - 7, h - 7)})
        EXPECT_TRUE(NearColour(pSkin.pixel(outside), OutsideColour(), 10))
            << outside.x() << "," << outside.y();
}

} // namespace

TEST_F(ArtFiles, OptionsSkinHasItsSizeOutlineAndButtons) {
    ASSERT_TRUE(s_Written) << s_Error;
    const QImage skin = LoadSkin(s_Env->Path("skins/frmOptions.jpg"));
    ASSERT_FALSE(skin.isNull());
    EXPECT_EQ(skin.size(), QSize(445, 369));
    ExpectCutCorners(skin);
    ASSERT_EQ(OptionsButtonLabels().size(), 9u);
    ExpectButtonShapes(skin, OptionsButtonLabels());
    // Between the page buttons the body shows through.
    EXPECT_LT(Luminance(skin.pixel(60, 63)), 130);
}

TEST_F(ArtFiles, OptionsPagePanelIsFlatWhereThePagesPutTheirControls) {
    ASSERT_TRUE(s_Written) << s_Error;
    const QImage skin = LoadSkin(s_Env->Path("skins/frmOptions.jpg"));
    ASSERT_FALSE(skin.isNull());
    // Every edit box and list lies on the panel's face: the face shows in
    // the middle of each and just outside its corners.
    for (const SkinSpot& box : OptionsBoxes()) {
        SCOPED_TRACE(box.name);
        const QRect r = box.rect;
        for (QPoint at : {r.center(), r.topLeft() + QPoint(-2, -2), r.bottomRight() + QPoint(2, 2)})
            EXPECT_TRUE(NearColour(skin.pixel(at), OptionsPageFace(), 8))
                << at.x() << "," << at.y();
    }
    // Beside the search button's shape the face is flat, so painting the
    // face over the shape hides it without a seam.
    for (QPoint at : {QPoint(348, 48), QPoint(390, 33), QPoint(390, 64), QPoint(432, 48)})
        EXPECT_TRUE(NearColour(skin.pixel(at), OptionsPageFace(), 8)) << at.x() << "," << at.y();
}

TEST_F(ArtFiles, AddressesSkinHasItsSizeOutlineButtonsAndListWell) {
    ASSERT_TRUE(s_Written) << s_Error;
    const QImage skin = LoadSkin(s_Env->Path("skins/frmAddresses.jpg"));
    ASSERT_FALSE(skin.isNull());
    EXPECT_EQ(skin.size(), QSize(482, 220));
    ExpectCutCorners(skin);
    ASSERT_EQ(AddressesButtonLabels().size(), 5u);
    ExpectButtonShapes(skin, AddressesButtonLabels());
    // The headings sit on the light panel, around the list's dark well.
    const QRect panel = AddressesListPanel();
    const QRect list = AddressesList();
    EXPECT_GT(Luminance(skin.pixel(panel.left() + 40, (panel.top() + list.top()) / 2)), 200);
    EXPECT_GT(Luminance(skin.pixel(list.left() - 4, list.center().y())), 200);
    EXPECT_GT(Luminance(skin.pixel(list.center().x(), list.bottom() + 4)), 200);
    EXPECT_LT(Luminance(skin.pixel(list.center())), 60);
    EXPECT_LT(Luminance(skin.pixel(list.left() + 1, list.top() + 1)), 60);
}

TEST(WindowOutline, SecondaryWindowsUseTheSameShapeAtTheirSize) {
    for (QSize size : {QSize(445, 369), QSize(482, 220)}) {
        const QPolygon outline = WindowOutline(size.width(), size.height());
        ASSERT_EQ(outline.size(), 17);
        EXPECT_EQ(outline[1], QPoint(size.width() - 2, 1));
        EXPECT_EQ(outline[9], QPoint(3, size.height() - 2));
        EXPECT_EQ(outline[8], QPoint(size.width() - 25, size.height() - 2));
    }
}
