// brisa-bench-search: the address-book search of the options window on a
// folder tree, and the tree it is measured on.
//
//   brisa-bench-search tree DIR COUNT   makes a tree of COUNT entries below DIR
//   brisa-bench-search scan DIR         prints every book found below DIR, one a line
#include "addressbook/discovery.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool MakeFolder(const std::string& pPath) {
    return ::mkdir(pPath.c_str(), 0755) == 0 || errno == EEXIST;
}

bool MakeFile(const std::string& pPath) {
    const int fd = ::open(pPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// A home folder's worth of files: 20 top folders of 10 x 5 leaf folders,
// every top folder with a hidden cache folder the search must not enter, a
// link back up that it must not follow, and an address book of one of the
// six kinds in every eighth leaf folder (plus a link to one).
int MakeTree(const std::string& pRoot, long pCount) {
    static const char* const kBooks[] = {"AddrBk.lst", "Contacts.WAB", "outlook.pst",
                                         "abook.nab",  "export.ldif",  "NNDBASE.TXT"};
    static const char* const kKinds[] = {".txt", ".jpg", ".doc", ".wav", ".html", ".c", ".odt"};
    const long leaves = 20 * 10 * 5;
    const long hiddenPerTop = 50;
    const long perLeaf = (pCount - 20 * hiddenPerTop) / leaves;
    if (perLeaf < 8) {
        std::fprintf(stderr, "COUNT must be at least %ld\n", 20 * hiddenPerTop + 8 * leaves);
        return 2;
    }
    if (!MakeFolder(pRoot))
        return 1;
    long made = 0, book = 0;
    for (int top = 0; top < 20; ++top) {
        const std::string topFolder = pRoot + "/d" + std::to_string(top);
        const std::string hidden = topFolder + "/.cache";
        if (!MakeFolder(topFolder) || !MakeFolder(hidden))
            return 1;
        for (long i = 0; i < hiddenPerTop; ++i, ++made) {
            const std::string name = i % 10 == 0 ? std::string(kBooks[i / 10 % 6])
                                                 : "cached" + std::to_string(i) + ".bin";
            if (!MakeFile(hidden + "/" + name))
                return 1;
        }
        for (int sub = 0; sub < 10; ++sub) {
            const std::string subFolder = topFolder + "/s" + std::to_string(sub);
            if (!MakeFolder(subFolder))
                return 1;
            for (int leaf = 0; leaf < 5; ++leaf) {
                const std::string folder = subFolder + "/t" + std::to_string(leaf);
                if (!MakeFolder(folder))
                    return 1;
                const bool withBook = (top * 50 + sub * 5 + leaf) % 8 == 0;
                for (long i = 0; i < perLeaf; ++i, ++made) {
                    std::string name;
                    if (withBook && i == 0) {
                        name = kBooks[book++ % 6];
                    } else {
                        name = "file" + std::to_string(i) + kKinds[i % 7];
                    }
                    if (!MakeFile(folder + "/" + name))
                        return 1;
                }
                if (leaf == 0 && sub == 0) {
                    // A link back up, and a link to a book elsewhere.
                    if (::symlink("../..", (folder + "/up").c_str()) != 0 && errno != EEXIST)
                        return 1;
                    if (::symlink((pRoot + "/d0/s0/t0/" + kBooks[0]).c_str(),
                                  (folder + "/linked.ldif").c_str()) != 0 &&
                        errno != EEXIST)
                        return 1;
                }
            }
        }
    }
    std::printf("%ld files\n", made);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "tree" && argc == 4)
        return MakeTree(argv[2], std::atol(argv[3]));
    if (mode == "scan" && argc == 3) {
        std::string found = brisa::SearchAddressBooks(std::string(argv[2]) + " [Bench]");
        for (char& c : found)
            if (c == '\t')
                c = '\n';
        std::fwrite(found.data(), 1, found.size(), stdout);
        return 0;
    }
    std::fprintf(stderr, "usage: brisa-bench-search tree DIR COUNT | scan DIR\n");
    return 2;
}
