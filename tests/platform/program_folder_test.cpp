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
using test::WriteFile;

TEST(ProgramFolder, BuildTreeHereInstalledProgramInTheUsersDataFolder) {
    test::TempEnv env;
    const fs::path root = env.Root(), bin = root / "usr/bin",
                   shipped = root / "usr/share/brisamail";
    const fs::path folder = root / "data/brisamail";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((root / "data").string()));

    // A build tree: data beside the executables. No data anywhere (a test
    // executable): its own folder too. Nothing is made elsewhere.
    WriteFile((root / "build/lang/00000409.txt").string(), "en");
    EXPECT_EQ(PrepareProgramFolder((root / "build").string()), (root / "build").string());
    fs::create_directories(bin);
    EXPECT_EQ(PrepareProgramFolder(bin.string()), bin.string());
    EXPECT_FALSE(fs::exists(root / "data"));

    // Installed: an owner-only folder of links to <prefix>/share/brisamail.
    for (const char* file : {"lang/00000409.txt", "skins/frmMM.jpg", "logo.gif", "htm/help.htm"})
        WriteFile((shipped / file).string(), "old");
    ASSERT_EQ(PrepareProgramFolder(bin.string()), folder.string());
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    for (const char* entry : {"lang", "skins", "logo.gif", "htm"})
        EXPECT_EQ(fs::read_symlink(folder / entry), shipped / entry) << entry;

    // The user's working files and own entries stay through an upgrade that
    // drops logo.gif, adds sounds/ and changes the skin.
    WriteFile((folder / "Tos.txt").string(), "ann@example.com\r\n");
    fs::remove(folder / "htm");
    WriteFile((folder / "htm/help.htm").string(), "my help");
    fs::remove(shipped / "logo.gif");
    WriteFile((shipped / "sounds/click.wav").string(), "RIFF");
    WriteFile((shipped / "skins/frmMM.jpg").string(), "new skin");
    ASSERT_EQ(PrepareProgramFolder(bin.string()), folder.string());
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "logo.gif")));
    EXPECT_EQ(fs::read_symlink(folder / "sounds"), shipped / "sounds");
    EXPECT_EQ(ReadFile((folder / "skins/frmMM.jpg").string()), "new skin");
    EXPECT_EQ(ReadFile((folder / "htm/help.htm").string()), "my help");
    EXPECT_EQ(ReadFile((folder / "Tos.txt").string()), "ann@example.com\r\n");
    qunsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace brisa
