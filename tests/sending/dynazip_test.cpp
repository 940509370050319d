// MakeZip: one entry under the bare name, deflated, read back with libzip and
// unzip; failures leave no archive behind.
#include "sending/dynazip.h"

#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace brisa {
namespace {

using test::ReadFile;
using test::WriteFile;

std::vector<std::string> FolderEntries(const std::string& pFolder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(pFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A little wave file: a RIFF header and a second of 8-bit mono samples.
std::string WaveBytes(size_t pSamples) {
    std::string bytes = std::string("RIFF") + std::string(4, '\0') + "WAVEfmt ";
    bytes += std::string("\x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x40\x1F\0\0\x01\0\x08\0", 20);
    bytes += "data" + std::string(4, '\0');
    for (size_t i = 0; i < pSamples; ++i)
        bytes += static_cast<char>(128 + (i % 50) - 25);
    return bytes;
}

struct Entry {
    std::string name;
    std::string bytes;
    uint16_t method = 0;
};

// Every entry of an archive, read with libzip; false when it cannot be opened.
bool ReadArchive(const std::string& pPath, std::vector<Entry>& pEntries) {
    int error = 0;
    zip_t* archive = zip_open(pPath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive)
        return false;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &info) != 0)
            continue;
        Entry entry;
        entry.name = info.name;
        entry.method = info.comp_method;
        entry.bytes.resize(static_cast<size_t>(info.size));
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file) {
            const zip_int64_t n = zip_fread(file, entry.bytes.data(), entry.bytes.size());
            if (n != static_cast<zip_int64_t>(entry.bytes.size()))
                entry.bytes = "<short read>";
            zip_fclose(file);
        }
        pEntries.push_back(entry);
    }
    zip_discard(archive);
    return true;
}

class MakeZipTest : public ::testing::Test {
protected:
    std::string Wave() const { return m_Env.Path("in.wav"); }
    std::string Zip() const { return m_Env.Path("in.zip"); }
    test::TempEnv m_Env;
};

// One deflated entry under the bare name, whatever the bytes, replacing
// whatever lay at the archive's place; unzip agrees.
TEST_F(MakeZipTest, PacksOneDeflatedEntryUnderTheBareName) {
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary += static_cast<char>((i * 7919) % 256);
    const std::string wave = WaveBytes(8000);
    WriteFile(Zip(), "this is not a zip archive");
    for (const std::string& bytes : {std::string(), binary, wave}) {
        WriteFile(Wave(), bytes);
        ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
        std::vector<Entry> entries;
        ASSERT_TRUE(ReadArchive(Zip(), entries));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "in.wav");
        EXPECT_EQ(entries[0].method, ZIP_CM_DEFLATE);
        EXPECT_EQ(entries[0].bytes, bytes);
        EXPECT_EQ(ReadFile(Wave()), bytes); // the source stays
    }
    EXPECT_LT(ReadFile(Zip()).size(), wave.size() / 4);
    EXPECT_EQ(FolderEntries(m_Env.ProgramFolder()), (std::vector<std::string>{"in.wav", "in.zip"}));

    const QString unzip = QStandardPaths::findExecutable("unzip");
    if (unzip.isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    QProcess process;
    process.start(unzip, {"-t", QString::fromStdString(Zip())});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("testing: in.wav")) << output.toStdString();
}

// A failure leaves the folder as it was: no archive, no temporary file.
TEST_F(MakeZipTest, FailuresLeaveNoArchive) {
    struct Case {
        const char* what;
        std::string source, target;
        std::vector<std::string> folder; // the program folder afterwards
    };
    const std::vector<Case> cases = {
        {"missing source", m_Env.Path("none.wav"), Zip(), {"in.wav"}},
        {"source is a folder", m_Env.Path("dir"), Zip(), {"dir", "in.wav"}},
        {"target folder missing", Wave(), m_Env.Path("nowhere/in.zip"), {"in.wav"}},
        {"target is a folder", Wave(), m_Env.Path("dir"), {"dir", "in.wav"}},
        {"no source", "", Zip(), {"in.wav"}},
        {"no target", Wave(), "", {"in.wav"}},
    };
    WriteFile(Wave(), WaveBytes(10));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.folder.front() == "dir")
            QDir().mkpath(QString::fromStdString(m_Env.Path("dir")));
        EXPECT_NE(MakeZip(c.source, c.target), 0);
        EXPECT_EQ(FolderEntries(m_Env.ProgramFolder()), c.folder);
        QDir(QString::fromStdString(m_Env.Path("dir"))).removeRecursively();
    }
}

} // namespace
} // namespace brisa
