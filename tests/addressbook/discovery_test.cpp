// The search for other programs' address books on a drive, and the book
// list the options window makes of what it found.
#include "addressbook/discovery.h"
#include "platform/drives.h"
#include "settings/registry.h"
#include "tests/fakes/fakes.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

namespace brisa {
namespace {

using Paths = std::vector<std::string>;

TEST(Discovery, TheDriveSearchFindsTheBooks) {
    struct Row {
        Paths tree;  // below the drive: files, "link -> target" (~ the drive), "pipe |"
        Paths found; // in the order found when "ordered", else sorted
        bool ordered = false;
        std::string winePrefix = "", contacts = ""; // below the folder holding the drive
    };
    // clang-format off
    const std::vector<Row> rows = {
        // a folder's files before its subfolders', depth first
        {{"a/deep/a2.pst", "a/a1.ldif", "top.wab", "a/deep/deeper/a3.wab"}, {"top.wab", "a/a1.ldif", "a/deep/a2.pst", "a/deep/deeper/a3.wab"}, true},
        {{"ADDRBK.LST", "Abook.NAB", "NNDBASE.TXT", "x.PST", "y.Wab", "z.LdIf", "x.wab.bak", "wab", "addrbk.lst.old", "my abook.nab", "nndbase.txt~", "x.ldi", ".pst"},
         {"ADDRBK.LST", "Abook.NAB", "NNDBASE.TXT", "x.PST", "y.Wab", "z.LdIf"}},
        // hidden entries are skipped, Wine prefixes (folders holding drive_c) are not
        {{".thunderbird/abook.ldif", "visible/.hidden.wab", "visible/shown.wab", ".wine/drive_c/users/ann/AddrBk.lst", ".wine/drive_c/users/ann/.cache/old.wab",
          ".office/drive_c/Program Files/abook.nab", ".fake/drive_c", ".fake/x.wab"},
         {".office/drive_c/Program Files/abook.nab", ".wine/drive_c/users/ann/AddrBk.lst", "visible/shown.wab"}},
        // the prefix WINEPREFIX names is searched last, even below a hidden folder, and once;
        // not when it lies off the drive or is written with ".."
        {{"visible/shown.wab", ".local/w/mail/top.pst", ".local/w/mail/drive_c/nndbase.txt", ".local/x.ldif"},
         {"visible/shown.wab", ".local/w/mail/top.pst", ".local/w/mail/drive_c/nndbase.txt"}, true, "drive/.local/w/mail/"},
        {{".wine/drive_c/AddrBk.lst"}, {".wine/drive_c/AddrBk.lst"}, true, "drive/.wine"},
        {{"../outside/drive_c/AddrBk.lst"}, {}, true, "outside"},
        {{"v/x", ".l/w/drive_c/AddrBk.lst"}, {}, true, "drive/v/../.l/w"},
        // links to folders are not followed, links to files are files; no pipes, no tabs
        {{"a/one.ldif", "elsewhere/two.ldif", "a/loop -> ~", "a/up -> ..", "shortcut -> ~/elsewhere", "linked.ldif -> ~/a/one.ldif", "dangling.ldif -> ~/none.ldif"},
         {"a/one.ldif", "elsewhere/two.ldif", "linked.ldif"}},
        {{"ok.wab", "tab\there.wab", "pipe.wab |"}, {"ok.wab"}},
        // the folder of contact folders comes last when it is on the drive
        {{"home/books/contacts.ldif", "home/.local/share/contacts/work/ann.vcf"}, {"home/books/contacts.ldif", "home/.local/share/contacts"}, true, "", "drive/home/.local/share/contacts"},
        {{"../contacts/work/ann.vcf"}, {}, true, "", "contacts"},
    };
    // clang-format on
    for (const Row& row : rows) {
        test::TempEnv env;
        const std::string drive = env.Root() + "/drive";
        QDir().mkpath(QString::fromStdString(drive));
        for (const std::string& entry : row.tree) {
            const std::string path = drive + "/" + entry.substr(0, entry.find(' '));
            if (const auto arrow = entry.find(" -> "); arrow != std::string::npos) {
                const std::string target = entry.substr(arrow + 4);
                ASSERT_EQ(::symlink((target[0] == '~' ? drive + target.substr(1) : target).c_str(),
                                    path.c_str()),
                          0);
            } else if (entry.ends_with(" |")) {
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            } else {
                test::WriteFile(drive + "/" + entry, "x");
            }
        }
        const std::string prefix = env.Root() + "/" + row.winePrefix;
        row.winePrefix.empty() ? ::unsetenv("WINEPREFIX")
                               : ::setenv("WINEPREFIX", prefix.c_str(), 1);
        const std::string contacts =
            env.Root() + "/" + (row.contacts.empty() ? "none" : row.contacts);
        ::setenv("BRISAMAIL_CONTACTS", contacts.c_str(), 1);
        const std::string known = SearchAddressBooks(drive + " [Drive]");
        Paths found;
        for (size_t at = 0, tab; (tab = known.find('\t', at)) != std::string::npos; at = tab + 1)
            found.push_back(known.substr(at + drive.size() + 1, tab - at - drive.size() - 1));
        EXPECT_TRUE(known.empty() || known.back() == '\t') << known;
        if (!row.ordered)
            std::sort(found.begin(), found.end());
        EXPECT_EQ(found, row.found) << row.tree[0];
    }
    ::unsetenv("WINEPREFIX");
    ::unsetenv("BRISAMAIL_CONTACTS");
    EXPECT_EQ(SearchAddressBooks("[no folder]"), "");
}

// A row per path found: its kind by the file's name, or for a hand-edited
// path by the first kind's text in it; the chosen book selected.
TEST(Discovery, TheBookListLabelsAndSelects) {
    test::MemoryRegistry memory;
    cRegistry store(memory, nullptr);
    store.VerifyRegistry();
    gRegistry = &store;
    store.KnownAddressBooks(
        "/h/a/nndbase.txt\t/h/b/x.WAB\t/h/c/AddrBk.lst\t/h/d.pst.d/contacts.ldif\t"
        "/h/e.pst\t/x.wab.d/abook.nab\t/x/mail.WAB.pst\t/x/notes.txt\t"
        "/x/addrbk.lst.old\t\t/after/empty.wab\t");
    store.AddressBook("ldif\t/h/d.pst.d/contacts.ldif");
    const cKindLabels kinds{"AOL", "WAB", "Outlook", "NAB", "LDIF", "Eudora"};
    const cBookList books = FillBookList(kinds);
    EXPECT_EQ(books.rows, (Paths{"\t/x/notes.txt", "AOL\t/h/c/AddrBk.lst", "AOL\t/x/addrbk.lst.old",
                                 "Eudora\t/h/a/nndbase.txt", "LDIF\t/h/d.pst.d/contacts.ldif",
                                 "NAB\t/x.wab.d/abook.nab", "Outlook\t/h/e.pst",
                                 "Outlook\t/x/mail.WAB.pst", "WAB\t/h/b/x.WAB"}));
    EXPECT_EQ(books.selected, 4);
    store.AddressBook("LDIF\t");
    EXPECT_EQ(FillBookList(kinds).selected, -1);
    gRegistry = nullptr;
}

TEST(Discovery, TheDrivesAreTheRealFileSystems) {
    const Paths drives = DriveEntriesFromMounts(
        "proc /proc proc rw 0 0\n/dev/sda2 / ext4 rw 0 0\n/dev/sda3 /home ext4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n/dev/loop3 /snap/core22/1122 squashfs ro 0 0\n"
        "/dev/sdb1 /media/ann/My\\040Stick vfat rw 0 0\n/dev/sdc1 /run/media/ann/B[2] ext4 rw 0 0\n"
        "/dev/sdd1 /mnt/data/ xfs rw 0 0\n/dev/sdd1 /mnt/data xfs rw 0 0\nbroken line\n",
        "/home/ann/");
    EXPECT_EQ(drives, (Paths{"/home/ann [Home]", "/ [System]", "/home [home]",
                             "/media/ann/My Stick [My Stick]", "/run/media/ann/B[2] [B(2)]",
                             "/mnt/data [data]"}));
    for (const std::string& entry : drives)
        EXPECT_EQ(DrivePathOf(entry), entry.substr(0, entry.rfind(" ["))) << entry;
}

} // namespace
} // namespace brisa
