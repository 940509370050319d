// A settings write that changes nothing leaves the settings file alone
// (found while measuring: every write replaced the file).
#include "platform/file_registry.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace brisa {
namespace {

TEST(WriteAvoidance, UnchangedSettingsLeaveTheFileAlone) {
    test::TempEnv env;
    const std::string path = env.Root() + "/registry.reg", key = "SOFTWARE\\Test";
    auto inode = [&] {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    FileRegistry registry(path);
    ASSERT_TRUE(registry.CreateKey(RootKey::LocalMachine, key));
    ASSERT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("5", 2)));
    const ino_t written = inode(); // every write replaces the file
    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("5", 2)));
    EXPECT_TRUE(registry.CreateKey(RootKey::LocalMachine, key));
    EXPECT_EQ(inode(), written);
    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("6", 2)));
    EXPECT_NE(inode(), written);
}

} // namespace
} // namespace brisa
