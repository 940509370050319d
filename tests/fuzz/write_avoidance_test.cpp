// The changes made while measuring: a settings write that changes nothing
// leaves the registry file alone, and a post copies a large archive into
// itself byte for byte without holding it in memory.
#include "platform/file_registry.h"
#include "platform/registry.h"
#include "sending/post_builder.h"
#include "sending/post_sender.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace brisa {
namespace {

// A text value as the settings store writes it: the text and one NUL.
std::string Sz(const char* pText) {
    return std::string(pText) + '\0';
}

ino_t Inode(const std::string& pPath) {
    struct stat info {};
    return ::stat(pPath.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(WriteAvoidance, StoringTheSameValueAgainLeavesTheFileAlone) {
    test::TempEnv env;
    const std::string path = env.Root() + "/registry.reg";
    FileRegistry registry(path);
    ASSERT_TRUE(registry.CreateKey(RootKey::LocalMachine, "SOFTWARE\\Test"));
    ASSERT_TRUE(registry.SetValue(RootKey::LocalMachine, "SOFTWARE\\Test", "Volume", Sz("5")));
    const std::string before = test::ReadFile(path);
    const ino_t written = Inode(path);
    ASSERT_NE(written, 0u);

    // Every write replaces the file, so an untouched file keeps its inode.
    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, "SOFTWARE\\Test", "Volume", Sz("5")));
    EXPECT_TRUE(registry.CreateKey(RootKey::LocalMachine, "SOFTWARE\\Test"));
    EXPECT_EQ(Inode(path), written);
    EXPECT_EQ(test::ReadFile(path), before);

    EXPECT_TRUE(registry.SetValue(RootKey::LocalMachine, "SOFTWARE\\Test", "Volume", Sz("6")));
    EXPECT_NE(Inode(path), written);
    std::string value;
    ASSERT_TRUE(registry.QueryValue(RootKey::LocalMachine, "SOFTWARE\\Test", "Volume", value));
    EXPECT_EQ(value, Sz("6"));
}

TEST(WriteAvoidance, ALargeArchiveIsCopiedIntoThePostUnchanged) {
    test::TempEnv env;
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
    for (char& c : archive)
        c = static_cast<char>(random() & 0xFF);
    const std::string archivePath = env.ProgramFolder() + "/in.zip";
    test::WriteFile(archivePath, archive);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(env.ProgramFolder() + "/outbox")));

    PostRequest request;
    request.to = "bob@example.org";
    request.programFolder = env.ProgramFolder();
    request.system = &system;
    std::string subject = "big", file = archivePath;
    ASSERT_EQ(BuildPost(request, subject, file), kPostWritten);

    const std::string post = test::ReadFile(file);
    const size_t at = post.find(archive.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(post.compare(at, archive.size(), archive), 0);
    EXPECT_EQ(post.substr(at + archive.size()),
              std::string("\r\n\r\n--") + kPostBoundary + "--\r\n");

    // The sender accepts it: its Content-Length matches the body.
    std::vector<std::string> headers;
    std::string body, problem;
    ASSERT_TRUE(SplitPost(post, headers, body, problem)) << problem;
    EXPECT_NE(body.find(archive.substr(archive.size() - 64)), std::string::npos);
}

} // namespace
} // namespace brisa
