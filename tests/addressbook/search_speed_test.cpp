// How fast the drive search walks a large tree, measured against GNU find
// with the same six name tests. Timing depends on the machine, so the test
// is disabled in ordinary runs:
//   addressbook_test --gtest_also_run_disabled_tests --gtest_filter='SearchSpeed.*'
// BRISA_SEARCH_TREE names an existing tree to search instead of building one.
#include "addressbook/discovery.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {
namespace {

// 200 folders of 10 subfolders of 100 files: 200,000 files, 1 in 500 a book.
void BuildTree(const std::string& pRoot) {
    static const char* kNames[] = {"a.wab",      "b.PST",     "c.ldif",
                                   "AddrBk.lst", "abook.nab", "nndbase.txt"};
    int made = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string top = pRoot + "/top" + std::to_string(i);
        ::mkdir(top.c_str(), 0755);
        for (int j = 0; j < 10; ++j) {
            const std::string sub = top + "/sub" + std::to_string(j);
            ::mkdir(sub.c_str(), 0755);
            for (int k = 0; k < 100; ++k, ++made) {
                const std::string name = made % 500 == 0 ? std::string(kNames[(made / 500) % 6])
                                                         : "file" + std::to_string(k) + ".dat";
                const int fd =
                    ::open((sub + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                if (fd >= 0)
                    ::close(fd);
            }
        }
    }
}

double Seconds(const std::function<void()>& pRun) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        pRun();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

TEST(SearchSpeed, DISABLED_NoSlowerThanFind) {
    QTemporaryDir dir;
    std::string root;
    if (const char* tree = std::getenv("BRISA_SEARCH_TREE")) {
        root = tree;
    } else {
        root = dir.path().toStdString();
        BuildTree(root);
    }
    const std::string find =
        "find '" + root +
        "' \\( -iname addrbk.lst -o -iname '*.wab' -o -iname '*.pst' -o -iname abook.nab"
        " -o -iname '*.ldif' -o -iname nndbase.txt \\) -print > /dev/null";
    ASSERT_EQ(std::system(find.c_str()), 0); // warms the caches too
    size_t found = 0;
    const double ours = Seconds([&] {
        std::string result;
        ScanFolder(root, result);
        found = static_cast<size_t>(std::count(result.begin(), result.end(), '\t'));
    });
    const double theirs = Seconds([&] { (void)std::system(find.c_str()); });
    std::printf("search: %.3f s, find: %.3f s, %zu books\n", ours, theirs, found);
    EXPECT_GT(found, 0u);
    EXPECT_LE(ours, theirs * 1.2);
}

} // namespace
} // namespace brisa
