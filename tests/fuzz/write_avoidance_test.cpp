// What measuring changed: a settings write that changes nothing leaves the
// settings file alone, and a post takes in a large archive by copying, byte
// for byte.
#include "platform/file_registry.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

namespace brisa {
namespace {

ino_t Inode(const std::string& pPath) {
    struct stat info {};
    return ::stat(pPath.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(WriteAvoidance, UnchangedSettingsAndLargeArchives) {
    test::TempEnv env;
    const std::string path = env.Root() + "/registry.reg", key = "SOFTWARE\\Test";
    FileRegistry registry(path);
    ASSERT_TRUE(registry.CreateKey(RootKey::LocalMachine, key));
    ASSERT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("5", 2)));
    const ino_t written = Inode(path); // every write replaces the file
    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("5", 2)));
    EXPECT_TRUE(registry.CreateKey(RootKey::LocalMachine, key));
    EXPECT_EQ(Inode(path), written);
    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, key, "Volume", std::string("6", 2)));
    EXPECT_NE(Inode(path), written);

    test::MemoryRegistry memory;
    cRegistry store(memory, nullptr);
    struct Restore {
        cRegistry* previous = gRegistry;
        ~Restore() { gRegistry = previous; }
    } restore;
    gRegistry = &store;
    store.MyEmail("ann@example.com");
    test::FakeSystemInfo system;
    // Five megabytes that do not repeat, so a misplaced piece would show.
    std::string archive(5u << 20, '\0');
    std::mt19937 random(11);
    for (char& c : archive) c = static_cast<char>(random() & 0xFF);
    test::WriteFile(env.Path("in.zip"), archive);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(env.Path("outbox"))));
    PostRequest request;
    request.to = "bob@example.org";
    request.programFolder = env.ProgramFolder();
    request.system = &system;
    std::string subject = "big", file = env.Path("in.zip");
    ASSERT_EQ(BuildPost(request, subject, file), kPostWritten);
    const std::string post = test::ReadFile(file);
    const size_t at = post.find(archive.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(post.substr(at) == archive + "\r\n\r\n--" + kPostBoundary + "--\r\n");
    std::vector<std::string> headers;
    std::string body, problem;
    EXPECT_TRUE(SplitPost(post, headers, body, problem)) << problem; // its length is right
}

} // namespace
} // namespace brisa
