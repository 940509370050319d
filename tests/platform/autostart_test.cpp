// The desktop's autostart entry written for the Run-key command.
#include "platform/linux/linux_services.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QFile>

namespace brisa {
namespace {

using test::ReadFile;
using test::TempEnv;

TEST(XdgAutostart, CommandIsWrittenAsTheExecLine) {
    TempEnv env;
    XdgAutostart autostart;
    const std::string entry = env.ConfigFolder() + "/autostart/brisamail.desktop";
    autostart.SetCommand("/opt/brisamail/brisamail 1");
    const std::string text = ReadFile(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/brisamail/brisamail\" 1\n"), std::string::npos);

    // A new command replaces the old one.
    autostart.SetCommand("/usr/bin/brisamail 1");
    const std::string second = ReadFile(entry);
    EXPECT_NE(second.find("\nExec=\"/usr/bin/brisamail\" 1\n"), std::string::npos);
    EXPECT_EQ(second.find("/opt/brisamail"), std::string::npos);
}

TEST(XdgAutostart, ProgramPathWithBlanksIsQuoted) {
    TempEnv env;
    XdgAutostart autostart;
    autostart.SetCommand("/home/ann/My Programs/$Brisa/brisamail 1");
    const std::string text = ReadFile(XdgAutostart::EntryPath());
    EXPECT_NE(text.find("\nExec=\"/home/ann/My Programs/\\$Brisa/brisamail\" 1\n"),
              std::string::npos);
}

TEST(XdgAutostart, EmptyCommandRemovesTheEntry) {
    TempEnv env;
    XdgAutostart autostart;
    const QString entry = QString::fromStdString(XdgAutostart::EntryPath());
    autostart.SetCommand("/opt/brisamail/brisamail 1");
    ASSERT_TRUE(QFile::exists(entry));
    autostart.SetCommand("");
    EXPECT_FALSE(QFile::exists(entry));
    // Removing an entry that is not there is harmless.
    autostart.SetCommand("");
    EXPECT_FALSE(QFile::exists(entry));
}

} // namespace
} // namespace brisa
