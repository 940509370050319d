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

// A one-pixel GIF, written out by hand: Qt reads GIF but cannot write it.
std::string OnePixelGif() {
    static const unsigned char bytes[] = {
        'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,             // screen, 2 colours
        0, 0, 0, 0xFF, 0xFF, 0xFF,                                        // black, white
        0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,                                  // the image
        2, 2, 0x44, 0x01, 0,                                              // its pixel
        0x3B};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

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
        QSize picture;
    };
    const QSize kNone(0, 0); // what a null image measures
    const std::vector<Case> cases = {
        {"skin.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("JPG")); }, QSize(40, 30)},
        {"logo.png", [](const std::string& p) { test::WriteFile(p, Encoded("PNG")); }, QSize(40, 30)},
        // Named for one format, made in another: the content decides.
        {"png.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("PNG")); }, QSize(40, 30)},
        {"gif.jpg", [](const std::string& p) { test::WriteFile(p, OnePixelGif()); }, QSize(1, 1)},
        {"SKIN.JPG", [](const std::string& p) { test::WriteFile(p, Encoded("JPG")); }, QSize(40, 30)},
        {"no-suffix", [](const std::string& p) { test::WriteFile(p, Encoded("JPG")); }, QSize(40, 30)},
        {"cut.jpg", [](const std::string& p) { test::WriteFile(p, Encoded("JPG").substr(0, 20)); }, kNone},
        {"text.jpg", [](const std::string& p) { test::WriteFile(p, "not a picture"); }, kNone},
        {"empty.jpg", [](const std::string& p) { test::WriteFile(p, ""); }, kNone},
        {"missing.jpg", [](const std::string&) {}, kNone},
        {"folder.jpg", [](const std::string& p) { fs::create_directory(p); }, kNone},
        {"pipe.jpg", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, kNone},
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
        EXPECT_EQ(direct.size(), cases[i].picture);
        EXPECT_EQ(early.size(), cases[i].picture);
        if (!direct.isNull()) {
            EXPECT_EQ(early.convertToFormat(QImage::Format_RGB32), direct.convertToFormat(QImage::Format_RGB32));
        }
        // Handed out once: the next caller reads the file itself.
        EXPECT_TRUE(preload.Take(paths[i]).isNull());
    }
    // A picture it was not asked for is not there.
    EXPECT_TRUE(preload.Take(env.Path("other.jpg")).isNull());
}

} // namespace
} // namespace brisa
