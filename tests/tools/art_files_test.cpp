#include "tests/support/temp_env.h"
#include "tests/tools/gif_decode.h"
#include "tools/art_files.h"
#include "tools/artwork.h"

#include <QFile>
#include <QMovie>
#include <QStringList>
#include <algorithm>
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

TEST(ArtFilesFailure, UnwritableFolderIsReported) {
    TempEnv env;
    // A file where the output folder should be.
    brisa::test::WriteFile(env.Path("blocked"), "not a folder");
    std::string error;
    EXPECT_FALSE(WriteArtFiles(env.Path("blocked"), error));
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(env.Path("blocked")), "not a folder");
}
