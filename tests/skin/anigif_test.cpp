// The animated-picture control on GIF files the test makes.
#include "skin/anigif.h"

#include "tests/support/temp_env.h"
#include "tools/gif_encoder.h"

#include <QMovie>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace brisa::test {
namespace {

// A 4-frame, 8 x 6 animation: each frame one flat colour.
std::string FourFrameGif() {
    std::vector<QImage> frames;
    for (QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)}) {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(colour);
        frames.push_back(image);
    }
    return art::EncodeAnimation(frames, {5, 5, 5, 5});
}

class AniGif : public ::testing::Test {
protected:
    void SetUp() override {
        path = env.Path("logo.gif");
        WriteFile(path, FourFrameGif());
    }
    TempEnv env;
    std::string path;
    cAniGif control;
};

TEST_F(AniGif, LoadsAPictureAndShowsItsFirstFrame) {
    ASSERT_TRUE(control.LoadFile(path));
    EXPECT_EQ(control.FileName(), path);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(control.CurrentFrame(), 1);
    ASSERT_NE(control.movie(), nullptr);
    EXPECT_EQ(control.movie()->currentImage().pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(AniGif, StartAnimatesUntilStopAndFrameOneRestsOnTheFirstPicture) {
    ASSERT_TRUE(control.LoadFile(path));
    control.Start();
    EXPECT_TRUE(control.IsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(control.CurrentFrame() > 1, 2000);
    control.Stop();
    control.SetFrame(1);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(control.CurrentFrame(), 1);
    EXPECT_EQ(control.movie()->currentImage().pixel(0, 0), qRgb(255, 0, 0));
    const int rested = control.CurrentFrame();
    QTest::qWait(150);
    EXPECT_EQ(control.CurrentFrame(), rested);
}

TEST_F(AniGif, KeepsGoingRoundUntilStopped) {
    ASSERT_TRUE(control.LoadFile(path));
    std::vector<int> shown;
    QObject::connect(control.movie(), &QMovie::frameChanged, [&](int frame) { shown.push_back(frame); });
    control.Start();
    auto rounds = [&] {
        int wraps = 0;
        for (size_t i = 1; i < shown.size(); ++i) wraps += shown[i] == 0 && shown[i - 1] == 3;
        return wraps;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rounds() >= 2, 5000);
    EXPECT_TRUE(control.IsRunning());
    // The first frame comes round as it was drawn, not blank.
    control.Stop();
    control.SetFrame(1);
    EXPECT_EQ(control.movie()->currentImage().pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(AniGif, AFileThatIsNoPictureFailsAndKeepsTheOldOne) {
    ASSERT_TRUE(control.LoadFile(path));
    const std::string broken = env.Path("broken.gif");
    WriteFile(broken, "GIF89a this is not a picture");
    EXPECT_FALSE(control.LoadFile(broken));
    EXPECT_FALSE(control.LoadFile(env.Path("missing.gif")));
    EXPECT_EQ(control.FileName(), path);
    EXPECT_EQ(control.CurrentFrame(), 1);
}

TEST_F(AniGif, StopAndFrameWithoutAPictureDoNothing) {
    control.Start();
    control.Stop();
    control.SetFrame(1);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(control.CurrentFrame(), 0);
}

TEST_F(AniGif, LeftClickIsReported) {
    ASSERT_TRUE(control.LoadFile(path));
    control.resize(8, 6);
    control.show();
    QSignalSpy clicks(&control, &cAniGif::clicked);
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(&control, Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(AniGif, TagIsFreeText) {
    control.Tag = "marker";
    EXPECT_EQ(control.Tag, "marker");
}

} // namespace
} // namespace brisa::test
