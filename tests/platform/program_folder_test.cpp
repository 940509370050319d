// Where the program keeps its files: beside the executable in a build tree,
// in the user's data folder for an installed program, linked to the shipped
// data so that an upgrade of the installed files is seen at the next start.
#include "platform/program_folder.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace brisa {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempEnv;
using test::WriteFile;

TEST(ProgramFolder, BuildTreeHereInstalledProgramInTheUsersDataFolder) {
    TempEnv env;
    const fs::path root = env.Root();
    const fs::path prefix = root / "usr", shipped = prefix / "share/brisamail";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((root / "data").string()));

    // A build tree: data beside the executables, nothing made elsewhere.
    WriteFile((root / "build/bin/lang/00000409.txt").string(), "en");
    EXPECT_EQ(PrepareProgramFolder((root / "build/bin").string()), (root / "build/bin").string());
    // No data anywhere (a test executable): its own folder, as before.
    fs::create_directories(prefix / "bin");
    EXPECT_EQ(PrepareProgramFolder((prefix / "bin").string()), (prefix / "bin").string());
    EXPECT_FALSE(fs::exists(root / "data"));

    // Installed: data in <prefix>/share/brisamail.
    WriteFile((shipped / "lang/00000409.txt").string(), "en");
    WriteFile((shipped / "skins/frmMM.jpg").string(), "old skin");
    WriteFile((shipped / "logo.gif").string(), "GIF89a");
    WriteFile((shipped / "htm/help.htm").string(), "help");
    const fs::path folder = root / "data/brisamail";
    ASSERT_EQ(PrepareProgramFolder((prefix / "bin").string()), folder.string());
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    for (const char* entry : {"lang", "skins", "logo.gif", "htm"})
        EXPECT_EQ(fs::read_symlink(folder / entry), shipped / entry) << entry;
    EXPECT_EQ(ReadFile((folder / "skins/frmMM.jpg").string()), "old skin");

    // The user's working files and own entries; then an upgrade that drops
    // logo.gif, adds sounds/ and changes the skin.
    WriteFile((folder / "Tos.txt").string(), "ann@example.com\r\n");
    fs::create_directories(folder / "outbox");
    fs::remove(folder / "htm");
    WriteFile((folder / "htm/help.htm").string(), "my help");
    fs::remove(shipped / "logo.gif");
    WriteFile((shipped / "sounds/click.wav").string(), "RIFF");
    WriteFile((shipped / "skins/frmMM.jpg").string(), "new skin");

    ASSERT_EQ(PrepareProgramFolder((prefix / "bin").string()), folder.string());
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "logo.gif")));
    EXPECT_EQ(fs::read_symlink(folder / "sounds"), shipped / "sounds");
    EXPECT_EQ(ReadFile((folder / "skins/frmMM.jpg").string()), "new skin");
    EXPECT_EQ(ReadFile((folder / "htm/help.htm").string()), "my help");
    EXPECT_EQ(ReadFile((folder / "Tos.txt").string()), "ann@example.com\r\n");
    EXPECT_TRUE(fs::is_directory(folder / "outbox"));
    qunsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace brisa
