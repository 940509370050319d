// The drive search on temporary folder trees, and the drive list.
#include "addressbook/discovery.h"
#include "platform/drives.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brisa {
namespace {

using Paths = std::vector<std::string>;

Paths Split(const std::string& pKnown) {
    Paths paths;
    size_t start = 0;
    while (start < pKnown.size()) {
        const size_t tab = pKnown.find('\t', start);
        EXPECT_NE(tab, std::string::npos) << "every path ends with a tab";
        if (tab == std::string::npos)
            break;
        paths.push_back(pKnown.substr(start, tab - start));
        start = tab + 1;
    }
    return paths;
}

class SearchTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string root = dir.path().toStdString() + "/drive";
    void File(const std::string& pRelative) { test::WriteFile(root + "/" + pRelative, "x"); }
    void Folder(const std::string& pRelative) { ::mkdir((root + "/" + pRelative).c_str(), 0755); }
    void Link(const std::string& pTarget, const std::string& pRelative) {
        ASSERT_EQ(::symlink(pTarget.c_str(), (root + "/" + pRelative).c_str()), 0);
    }
    Paths Search(const std::string& pFolder) {
        std::string result;
        ScanFolder(pFolder, result);
        return Split(result);
    }
    Paths Relative(const Paths& pPaths) {
        Paths out;
        for (const std::string& p : pPaths)
            out.push_back(p.substr(root.size() + 1));
        return out;
    }
    long Position(const Paths& pPaths, const std::string& pRelative) {
        const auto it = std::find(pPaths.begin(), pPaths.end(), pRelative);
        return it == pPaths.end() ? -1 : it - pPaths.begin();
    }
};

TEST_F(SearchTest, FilesOfAFolderComeBeforeItsSubfoldersDepthFirst) {
    File("top.wab");
    File("a/a1.ldif");
    File("a/deep/a2.pst");
    File("a/deep/deeper/a3.wab");
    File("a/a4.pst");
    File("b/b1.ldif");
    File("b/sub/b2.wab");
    File("top2.pst");
    const Paths found = Relative(Search(root));
    ASSERT_EQ(found.size(), 8u);
    // The root's own files first.
    EXPECT_LT(std::max(Position(found, "top.wab"), Position(found, "top2.pst")), 2);
    // Each folder's files before its subfolders' files.
    EXPECT_LT(std::max(Position(found, "a/a1.ldif"), Position(found, "a/a4.pst")),
              Position(found, "a/deep/a2.pst"));
    EXPECT_LT(Position(found, "a/deep/a2.pst"), Position(found, "a/deep/deeper/a3.wab"));
    EXPECT_LT(Position(found, "b/b1.ldif"), Position(found, "b/sub/b2.wab"));
    // Depth first: the subtree of a folder is not interrupted by another.
    const long a0 = std::min(Position(found, "a/a1.ldif"), Position(found, "a/a4.pst"));
    const long b0 = Position(found, "b/b1.ldif");
    if (a0 < b0)
        EXPECT_EQ(b0, 6);
    else
        EXPECT_EQ(a0, 4);
}

TEST_F(SearchTest, NamesMatchIgnoringCase) {
    for (const char* name : {"ADDRBK.LST", "Abook.NAB", "NNDBASE.TXT", "x.PST", "y.Wab", "z.LdIf"})
        File(name);
    for (const char* name :
         {"x.wab.bak", "wab", "addrbk.lst.old", "my abook.nab", "nndbase.txt~", "x.ldi", ".pst"}) {
        File(name);
    }
    Paths found = Relative(Search(root));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Paths{"ADDRBK.LST", "Abook.NAB", "NNDBASE.TXT", "x.PST", "y.Wab", "z.LdIf"}));
}

TEST_F(SearchTest, HiddenEntriesAreSkippedExceptWinePrefixes) {
    File(".thunderbird/abook.ldif"); // hidden folder
    File("visible/.hidden.wab");     // hidden file
    File("visible/shown.wab");
    File(".wine/drive_c/users/ann/AddrBk.lst");      // a prefix: it holds drive_c
    File(".wine/drive_c/users/ann/.cache/old.wab");  // hidden inside a prefix
    File(".office/drive_c/Program Files/abook.nab"); // any prefix, not only .wine
    File(".fake/drive_c");                           // drive_c as a file: no prefix
    File(".fake/x.wab");
    File(".local/share/wineprefixes/mail/drive_c/nndbase.txt");
    File(".local/share/wineprefixes/mail/top.pst");
    File(".local/share/other.ldif");

    const char* saved = std::getenv("WINEPREFIX");
    const std::string before = saved ? saved : "";
    auto found = [&](const char* pPrefix) {
        if (pPrefix)
            ::setenv("WINEPREFIX", pPrefix, 1);
        else
            ::unsetenv("WINEPREFIX");
        return Relative(Search(root));
    };
    const Paths walked{"visible/shown.wab", ".wine/drive_c/users/ann/AddrBk.lst",
                       ".office/drive_c/Program Files/abook.nab"};
    auto sorted = [](Paths p) {
        std::sort(p.begin(), p.end());
        return p;
    };
    EXPECT_EQ(sorted(found(nullptr)), sorted(walked));

    // The folder WINEPREFIX names is searched after the rest, even below a
    // hidden folder; the rest of that hidden folder stays unsearched.
    const Paths withPrefix = found((root + "/.local/share/wineprefixes/mail/").c_str());
    ASSERT_EQ(withPrefix.size(), 5u);
    EXPECT_EQ(sorted(Paths(withPrefix.begin(), withPrefix.begin() + 3)), sorted(walked));
    EXPECT_EQ(withPrefix[3], ".local/share/wineprefixes/mail/top.pst");
    EXPECT_EQ(withPrefix[4], ".local/share/wineprefixes/mail/drive_c/nndbase.txt");

    // A prefix the walk finds anyway is searched once; one outside the
    // searched folder, or written with "..", is not searched.
    EXPECT_EQ(sorted(found((root + "/.wine").c_str())), sorted(walked));
    test::WriteFile(dir.path().toStdString() + "/outside/drive_c/AddrBk.lst", "x");
    EXPECT_EQ(sorted(found((dir.path().toStdString() + "/outside").c_str())), sorted(walked));
    EXPECT_EQ(sorted(found((root + "/visible/../.local/share/wineprefixes/mail").c_str())),
              sorted(walked));

    if (saved)
        ::setenv("WINEPREFIX", before.c_str(), 1);
    else
        ::unsetenv("WINEPREFIX");
}

TEST_F(SearchTest, SymbolicLinksToFoldersAreNotFollowed) {
    File("a/one.ldif");
    File("elsewhere/two.ldif");
    Link(root, "a/loop"); // back to the top: a loop
    Link("..", "a/up");   // to the parent: a loop
    Link(root + "/elsewhere", "shortcut");
    Link(root + "/a/one.ldif", "linked.ldif"); // a link to a file is a file
    Link(root + "/nowhere.ldif", "dangling.ldif");
    Paths found = Relative(Search(root));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Paths{"a/one.ldif", "elsewhere/two.ldif", "linked.ldif"}));
}

TEST_F(SearchTest, PipesAndFilesWithTabsAreLeftOut) {
    Folder("");
    ASSERT_EQ(::mkfifo((root + "/pipe.wab").c_str(), 0600), 0);
    File("tab\there.wab");
    File("ok.wab");
    EXPECT_EQ(Relative(Search(root)), (Paths{"ok.wab"}));
}

TEST_F(SearchTest, ProgressIsReportedAndCanEndTheSearch) {
    for (int i = 0; i < 50; ++i)
        File("f" + std::to_string(i) + "/x" + std::to_string(i) + ".wab");
    std::vector<uint64_t> calls;
    cSearchProgress progress;
    progress.every = 10;
    progress.callback = [&](uint64_t pSeen) {
        calls.push_back(pSeen);
        return true;
    };
    std::string result;
    ScanFolder(root, result, progress);
    EXPECT_EQ(Split(result).size(), 50u);
    ASSERT_GE(calls.size(), 10u); // 50 folders of 3 entries and the root's 52
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i], (i + 1) * 10);

    progress.callback = [](uint64_t pSeen) { return pSeen < 60; };
    result.clear();
    ScanFolder(root, result, progress);
    EXPECT_LT(Split(result).size(), 50u);
}

// ---- drive list -------------------------------------------------------------------

TEST(DriveList, RealFileSystemsFromTheMountsTable) {
    const std::string mounts = "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n"
                               "proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0\n"
                               "udev /dev devtmpfs rw,nosuid,relatime,size=8000000k 0 0\n"
                               "devpts /dev/pts devpts rw 0 0\n"
                               "tmpfs /run tmpfs rw,nosuid,nodev 0 0\n"
                               "/dev/nvme0n1p2 / ext4 rw,relatime 0 0\n"
                               "securityfs /sys/kernel/security securityfs rw 0 0\n"
                               "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
                               "/dev/nvme0n1p1 /boot/efi vfat rw,relatime 0 0\n"
                               "/dev/loop3 /snap/core22/1122 squashfs ro,nodev,relatime 0 0\n"
                               "/dev/nvme0n1p3 /home ext4 rw,relatime 0 0\n"
                               "tmpfs /run/user/1000 tmpfs rw 0 0\n"
                               "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
                               "/dev/sdb1 /media/ann/My\\040USB\\040Stick vfat rw 0 0\n"
                               "/dev/sdc1 /run/media/ann/Backup[2] ext4 rw 0 0\n"
                               "overlay /var/lib/docker/overlay2/abc/merged overlay rw 0 0\n"
                               "/dev/sdd1 /mnt/data/ xfs rw 0 0\n"
                               "/dev/sdd1 /mnt/data xfs rw 0 0\n"
                               "binfmt_misc /proc/sys/fs/binfmt_misc binfmt_misc rw 0 0\n"
                               "broken line\n";
    const std::vector<std::string> drives = DriveEntriesFromMounts(mounts, "/home/ann/");
    EXPECT_EQ(drives, (std::vector<std::string>{
                          "/home/ann [Home]", "/ [System]", "/boot/efi [efi]", "/home [home]",
                          "/media/ann/My USB Stick [My USB Stick]",
                          "/run/media/ann/Backup[2] [Backup(2)]", "/mnt/data [data]"}));
    for (const std::string& entry : drives) {
        EXPECT_EQ(DrivePathOf(entry), entry.substr(0, entry.rfind(" ["))) << entry;
    }
}

} // namespace
} // namespace brisa
