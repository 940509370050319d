// Pictures read for the windows, directly or decoded ahead at start-up: a
// picture comes back whole; anything else in its place gives no picture,
// and a pipe with nobody writing to it is never waited on.
#include "platform/linux/start_up_preload.h"
#include "platform/picture_file.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>

#include <filesystem>
#include <sys/stat.h>

namespace brisa {
namespace {

namespace fs = std::filesystem;

std::string Encoded(const char* pFormat) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, pFormat));
    return bytes.toStdString();
}

TEST(PictureFiles, OnlyARegularPictureFileGivesAPicture) {
    test::TempEnv env;
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        bool picture;
    };
    const std::vector<Case> cases = {
        {"skin.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("JPG")); }, true},
        {"logo.png", [](const std::string& p) { test::WriteFile(p, Encoded("PNG")); }, true},
        // Named for one format, made in another: the content decides.
        {"png.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("PNG")); }, true},
        {"no-suffix", [](const std::string& p) { test::WriteFile(p, Encoded("JPG")); }, true},
        {"cut.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("JPG").substr(0, 20)); }, false},
        {"text.jpg", [](const std::string& p) { test::WriteFile(p, "not a picture"); }, false},
        {"empty.jpg", [](const std::string& p) { test::WriteFile(p, ""); }, false},
        {"missing.jpg", [](const std::string&) {}, false},
        {"folder.jpg", [](const std::string& p) { fs::create_directory(p); }, false},
        {"pipe.jpg", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false},
    };
    std::vector<std::string> paths;
    for (const Case& c : cases) {
        paths.push_back(env.Path(c.name));
        c.make(paths.back());
    }

    // Decoded ahead, all of them at once, beside the test's own thread.
    StartUpPreload preload;
    preload.Begin(paths);
    preload.WaitForFonts();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const QImage direct = ReadPictureFile(paths[i]);
        const QImage early = preload.Take(paths[i]);
        EXPECT_EQ(!direct.isNull(), cases[i].picture);
        EXPECT_EQ(!early.isNull(), cases[i].picture);
        if (cases[i].picture) {
            EXPECT_EQ(direct.size(), QSize(40, 30));
            EXPECT_EQ(early.convertToFormat(QImage::Format_RGB32), direct.convertToFormat(QImage::Format_RGB32));
        }
        // Handed out once: the next caller reads the file itself.
        EXPECT_TRUE(preload.Take(paths[i]).isNull());
    }
    // A picture it was not asked for is not there.
    EXPECT_TRUE(preload.Take(env.Path("other.jpg")).isNull());
}

TEST(PictureFiles, APreloadThatIsNeverUsedEndsQuietly) {
    // A second copy ends before its window exists: nothing is taken, and
    // the helpers are waited for on the way out.
    { StartUpPreload unused; }
    {
        StartUpPreload begunOnly;
        begunOnly.Begin({"/nonexistent/skins/frmMM.jpg"});
    }
    SUCCEED();
}

} // namespace
} // namespace brisa
