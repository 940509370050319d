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

bool Exists(const std::string& pPath) {
    struct stat info {};
    return ::lstat(pPath.c_str(), &info) == 0;
}

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

TEST_F(MakeZipTest, PacksOneDeflatedEntryUnderTheBareName) {
    const std::string wave = WaveBytes(8000);
    WriteFile(Wave(), wave);
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);

    std::vector<Entry> entries;
    ASSERT_TRUE(ReadArchive(Zip(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "in.wav");
    EXPECT_EQ(entries[0].method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries[0].bytes, wave);
    // The repeating samples compress well; the wave file stays in place.
    EXPECT_LT(ReadFile(Zip()).size(), wave.size() / 4);
    EXPECT_EQ(ReadFile(Wave()), wave);
}

TEST_F(MakeZipTest, UnzipAcceptsTheArchive) {
    const QString unzip = QStandardPaths::findExecutable("unzip");
    if (unzip.isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    WriteFile(Wave(), WaveBytes(3000));
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
    QProcess process;
    process.start(unzip, {"-t", QString::fromStdString(Zip())});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("testing: in.wav")) << output.toStdString();
    EXPECT_TRUE(output.contains("No errors detected")) << output.toStdString();
}

TEST_F(MakeZipTest, EmptyFileGivesOneEmptyEntry) {
    WriteFile(Wave(), "");
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
    std::vector<Entry> entries;
    ASSERT_TRUE(ReadArchive(Zip(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "in.wav");
    EXPECT_EQ(entries[0].bytes, "");
}

TEST_F(MakeZipTest, BinaryBytesSurviveUnchanged) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>((i * 7919) % 256);
    WriteFile(Wave(), bytes);
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
    std::vector<Entry> entries;
    ASSERT_TRUE(ReadArchive(Zip(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].bytes, bytes);
}

TEST_F(MakeZipTest, AnOldArchiveIsReplacedNotExtended) {
    WriteFile(m_Env.Path("old.wav"), "old recording");
    ASSERT_EQ(MakeZip(m_Env.Path("old.wav"), Zip()), 0);
    WriteFile(Wave(), WaveBytes(100));
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
    std::vector<Entry> entries;
    ASSERT_TRUE(ReadArchive(Zip(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "in.wav");

    WriteFile(Zip(), "this is not a zip archive");
    ASSERT_EQ(MakeZip(Wave(), Zip()), 0);
    entries.clear();
    ASSERT_TRUE(ReadArchive(Zip(), entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(MakeZipTest, MissingSourceFailsWithoutAnArchive) {
    EXPECT_NE(MakeZip(Wave(), Zip()), 0);
    EXPECT_FALSE(Exists(Zip()));
    EXPECT_TRUE(FolderEntries(m_Env.ProgramFolder()).empty());
}

TEST_F(MakeZipTest, SourceThatIsAFolderFails) {
    QDir().mkpath(QString::fromStdString(Wave()));
    EXPECT_NE(MakeZip(Wave(), Zip()), 0);
    EXPECT_FALSE(Exists(Zip()));
}

TEST_F(MakeZipTest, UnreadableSourceFails) {
    WriteFile(Wave(), WaveBytes(10));
    ::chmod(Wave().c_str(), 0);
    if (::access(Wave().c_str(), R_OK) == 0) {
        ::chmod(Wave().c_str(), 0600);
        GTEST_SKIP() << "running with rights that ignore file permissions";
    }
    const int result = MakeZip(Wave(), Zip());
    ::chmod(Wave().c_str(), 0600);
    EXPECT_NE(result, 0);
    EXPECT_FALSE(Exists(Zip()));
}

TEST_F(MakeZipTest, TargetInAMissingFolderFails) {
    WriteFile(Wave(), WaveBytes(10));
    const std::string target = m_Env.Path("nowhere/in.zip");
    EXPECT_NE(MakeZip(Wave(), target), 0);
    EXPECT_FALSE(Exists(m_Env.Path("nowhere")));
    EXPECT_EQ(FolderEntries(m_Env.ProgramFolder()), std::vector<std::string>{"in.wav"});
}

TEST_F(MakeZipTest, TargetThatIsAFolderFails) {
    WriteFile(Wave(), WaveBytes(10));
    QDir().mkpath(QString::fromStdString(Zip()));
    EXPECT_NE(MakeZip(Wave(), Zip()), 0);
    EXPECT_EQ(FolderEntries(m_Env.ProgramFolder()), (std::vector<std::string>{"in.wav", "in.zip"}));
    EXPECT_TRUE(FolderEntries(Zip()).empty());
}

TEST_F(MakeZipTest, ReadOnlyFolderFailsWithoutLeftovers) {
    WriteFile(Wave(), WaveBytes(10));
    const std::string folder = m_Env.Path("locked");
    QDir().mkpath(QString::fromStdString(folder));
    ::chmod(folder.c_str(), 0500);
    if (::access(folder.c_str(), W_OK) == 0) {
        ::chmod(folder.c_str(), 0700);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    const int result = MakeZip(Wave(), folder + "/in.zip");
    ::chmod(folder.c_str(), 0700);
    EXPECT_NE(result, 0);
    EXPECT_TRUE(FolderEntries(folder).empty());
}

TEST_F(MakeZipTest, EmptyArgumentsFail) {
    WriteFile(Wave(), WaveBytes(10));
    EXPECT_NE(MakeZip("", Zip()), 0);
    EXPECT_NE(MakeZip(Wave(), ""), 0);
    EXPECT_FALSE(Exists(Zip()));
}

} // namespace
} // namespace brisa
