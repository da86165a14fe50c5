// File objects, sizes, folders, scans, path parts, the program's folders and
// arguments.
#include "engine/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scratch_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/atomic_write.h"
#include "engine/object_table.h"
#include "engine/platform/platform.h"

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <thread>
#endif

namespace {

using namespace engine;
namespace fs = std::filesystem;

// A scratch folder per test, removed afterwards.
class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "files-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        CloseFileObject(-1);
        EndFolderScan(-1);
        fs::remove_all(dir_);
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ + name, std::ios::binary) << bytes;
    }
    std::string Get(const std::string& name) {
        std::ifstream in(dir_ + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string dir_;
};

TEST_F(FilesTest, WrittenLinesEndInCrLfAndReadBackWithAnyLineEnd) {
    int log = NewFile(AutoId, dir_ + "Log.log");
    ASSERT_NE(log, 0);
    EXPECT_EQ(WriteTextLine(log, "Mnemora"), 1);
    EXPECT_EQ(WriteTextLine(log, "CPU Name:\t\tFrançais"), 1);
    EXPECT_EQ(WriteBytes(log, "", 0), 0);
    EXPECT_EQ(WriteBytes(log, nullptr, 4), 0);
    EXPECT_EQ(CloseFileObject(log), 1);
    EXPECT_EQ(FileObjectValid(log), 0);
    EXPECT_EQ(Get("Log.log"), "Mnemora\r\nCPU Name:\t\tFrançais\r\n");  // no byte-order mark

    Put("mixed.txt", "one\rtwo\nthree\r\n\r\nlast");
    int in = OpenFileForReading(3, dir_ + "mixed.txt");
    ASSERT_EQ(in, 1);  // a number, not a handle
    EXPECT_EQ(ReadTextLine(3), "one");
    EXPECT_EQ(ReadTextLine(3), "two");
    EXPECT_EQ(ReadTextLine(3), "three");
    EXPECT_EQ(ReadTextLine(3), "");
    EXPECT_EQ(FileAtEnd(3), 0);
    EXPECT_EQ(ReadTextLine(3), "last");
    EXPECT_EQ(FileAtEnd(3), 1);
    EXPECT_EQ(ReadTextLine(3), "");
    EXPECT_EQ(WriteBytes(3, "x", 1), 1);  // buffered; the file is read-only, so ...
    EXPECT_EQ(CloseFileObject(3), 0);     // ... closing reports the failed flush
    EXPECT_EQ(Get("mixed.txt"), "one\rtwo\nthree\r\n\r\nlast");
}

TEST_F(FilesTest, LargeWritesAndLongLinesCrossTheBuffers) {
    std::string line(10000, 'x');
    int f = NewFile(AutoId, dir_ + "big.txt");
    ASSERT_NE(f, 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(WriteTextLine(f, line + std::to_string(i)), 1);
    std::string chunk(5000, 'y');
    EXPECT_EQ(WriteBytes(f, chunk.data(), 5000), 5000);
    CloseFileObject(f);
    EXPECT_EQ(QueryFileSize(dir_ + "big.txt"), 5 * (10001 + 2) + 5000);

    f = OpenFileForReading(AutoId, dir_ + "big.txt");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadTextLine(f), line + std::to_string(i));
    EXPECT_EQ(ReadTextLine(f), chunk);
    CloseFileObject(f);
}

TEST_F(FilesTest, NewFileTruncatesAndReadsMayFollowWrites) {
    int f = NewFile(AutoId, dir_ + "rw.txt");
    WriteTextLine(f, "a");
    WriteTextLine(f, "b");
    CloseFileObject(f);
    f = NewFile(AutoId, dir_ + "rw.txt");  // truncates
    WriteTextLine(f, "new");
    EXPECT_EQ(ReadTextLine(f), "");  // pending bytes reach the file first; then its end
    EXPECT_EQ(FileAtEnd(f), 1);
    WriteTextLine(f, "more");
    CloseFileObject(f);
    EXPECT_EQ(Get("rw.txt"), "new\r\nmore\r\n");
}

TEST_F(FilesTest, FailuresLeaveNoObject) {
    EXPECT_EQ(OpenFileForReading(AutoId, dir_ + "missing"), 0);
    EXPECT_EQ(OpenFileForReading(5, dir_), 0);  // a folder is not a file
    EXPECT_EQ(FileObjectValid(5), 0);
    EXPECT_EQ(NewFile(AutoId, dir_ + "no/such/folder.txt"), 0);
    EXPECT_EQ(NewFile(AutoId, ""), 0);
    EXPECT_EQ(NewFile(-7, dir_ + "bad-number.txt"), 0);
    EXPECT_EQ(QueryFileSize(dir_ + "bad-number.txt"), -1);  // not even created
    EXPECT_EQ(ReadTextLine(12345), "");
    EXPECT_EQ(WriteTextLine(12345, "x"), 0);
    EXPECT_EQ(CloseFileObject(12345), 0);
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir_ + "fifo").c_str(), 0600), 0);
    EXPECT_EQ(OpenFileForReading(AutoId, dir_ + "fifo"), 0);  // and no hang
#endif
}

// A profile named "Zoë": every file and folder call takes UTF-8 paths with
// letters outside ASCII (on Windows through the wide-character API).
TEST_F(FilesTest, PathsWithLettersOutsideAsciiWork) {
    const std::string folder = dir_ + "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE3\x83\x95";
    ASSERT_EQ(MakeFolder(folder + "/"), 1);
    EXPECT_EQ(QueryFileSize(folder), -2);
    const std::string file = folder + "/Mnemora.scores";
    int f = NewFile(AutoId, file);
    ASSERT_NE(f, 0);
    EXPECT_EQ(WriteTextLine(f, "2"), 1);
    CloseFileObject(f);
    EXPECT_EQ(QueryFileSize(file), 3);
    EXPECT_EQ(WriteFileAtomically(file, "1\r\n0\r\n"), 1);
    f = OpenFileForReading(AutoId, file);
    ASSERT_NE(f, 0);
    EXPECT_EQ(ReadTextLine(f), "1");
    CloseFileObject(f);
    int scan = ScanFolder(AutoId, dir_, "Zo*");
    ASSERT_NE(scan, 0);
    ASSERT_EQ(NextFolderEntry(scan), 1);
    EXPECT_EQ(FolderEntryName(scan), "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE3\x83\x95");
    EXPECT_EQ(FolderEntryIsFolder(scan), 1);
    EndFolderScan(scan);
    EXPECT_EQ(RemoveFile(file, 0), 1);
    EXPECT_EQ(QueryFileSize(file), -1);
}

TEST_F(FilesTest, ClosingAllOrReusingANumberKeepsTheWrittenBytes) {
    int a = NewFile(AutoId, dir_ + "a");
    ASSERT_EQ(NewFile(2, dir_ + "b"), 1);
    WriteTextLine(a, "a");
    WriteTextLine(2, "b");
    ASSERT_EQ(NewFile(2, dir_ + "c"), 1);  // frees the file of "b", which keeps its line
    WriteTextLine(2, "c");
    EXPECT_EQ(Get("b"), "b\r\n");
    EXPECT_EQ(Get("a"), "");  // still buffered
    EXPECT_EQ(FlushFileObject(a), 1);
    EXPECT_EQ(Get("a"), "a\r\n");
    EXPECT_EQ(FlushFileObject(99), 0);
    EXPECT_EQ(CloseFileObject(-1), 1);
    EXPECT_EQ(FileObjectValid(a), 0);
    EXPECT_EQ(FileObjectValid(2), 0);
    EXPECT_EQ(Get("a"), "a\r\n");
    EXPECT_EQ(Get("c"), "c\r\n");
    EXPECT_EQ(CloseFileObject(-1), 0);  // nothing left
}

TEST_F(FilesTest, QueryFileSizeTellsFilesFoldersAndMissingPaths) {
    Put("empty", "");
    Put("three", "abc");
    EXPECT_EQ(QueryFileSize(dir_ + "empty"), 0);
    EXPECT_EQ(QueryFileSize(dir_ + "three"), 3);
    EXPECT_EQ(QueryFileSize(dir_), -2);
    EXPECT_EQ(QueryFileSize(dir_.substr(0, dir_.size() - 1)), -2);
    EXPECT_EQ(QueryFileSize("/"), -2);
    EXPECT_EQ(QueryFileSize(dir_ + "missing"), -1);
    EXPECT_EQ(QueryFileSize(dir_ + "three/"), -1);
    EXPECT_EQ(QueryFileSize(""), -1);
}

TEST_F(FilesTest, MakeFolderAndRemoveFile) {
    EXPECT_EQ(MakeFolder(dir_ + "Orvanta/  "), 1);
    EXPECT_EQ(QueryFileSize(dir_ + "Orvanta"), -2);
    EXPECT_EQ(MakeFolder(dir_ + "Orvanta"), 0);  // exists
    EXPECT_EQ(MakeFolder(dir_ + "a/b"), 0);      // one level only
    EXPECT_EQ(MakeFolder(""), 0);
    EXPECT_EQ(MakeFolder("///"), 0);

    Put("locked.language", "x");
    chmod((dir_ + "locked.language").c_str(), 0444);
    EXPECT_EQ(RemoveFile(dir_ + "locked.language", 2), 1);
    EXPECT_EQ(QueryFileSize(dir_ + "locked.language"), -1);
    EXPECT_EQ(RemoveFile(dir_ + "locked.language", 2), 0);
    EXPECT_EQ(RemoveFile(dir_ + "Orvanta", 0), 0);  // never a folder
    EXPECT_EQ(QueryFileSize(dir_ + "Orvanta"), -2);
}

TEST_F(FilesTest, ScansMatchWildcardsWithoutRegardToCaseInNameOrder) {
    Put("en_GB.language", "");
    Put("de_DE.LANGUAGE", "");
    Put("notes.txt", "");
    Put("README", "");
    fs::create_directory(dir_ + "sub.language");

    auto list = [](int scan) {
        std::vector<std::string> names;
        while (NextFolderEntry(scan))
            names.push_back(FolderEntryName(scan));
        EXPECT_EQ(NextFolderEntry(scan), 0);
        EXPECT_EQ(FolderEntryName(scan), "");
        EndFolderScan(scan);
        return names;
    };
    EXPECT_EQ(list(ScanFolder(AutoId, dir_, "*.language")),
              (std::vector<std::string>{"de_DE.LANGUAGE", "en_GB.language", "sub.language"}));
    EXPECT_EQ(list(ScanFolder(AutoId, dir_.substr(0, dir_.size() - 1), "*.*")),
              (std::vector<std::string>{"README", "de_DE.LANGUAGE", "en_GB.language", "notes.txt",
                                        "sub.language"}));
    EXPECT_EQ(list(ScanFolder(AutoId, dir_, "")).size(), 5u);
    EXPECT_EQ(list(ScanFolder(AutoId, dir_, "??_??.*")),
              (std::vector<std::string>{"de_DE.LANGUAGE", "en_GB.language"}));
    EXPECT_EQ(list(ScanFolder(AutoId, dir_, "*e*e*e*")),
              (std::vector<std::string>{"de_DE.LANGUAGE"}));

    int empty = ScanFolder(4, dir_, "*.nothing");
    EXPECT_EQ(empty, 1);               // a valid scan ...
    EXPECT_EQ(NextFolderEntry(4), 0);  // ... with no entry
    EndFolderScan(4);
    EXPECT_EQ(ScanFolder(AutoId, dir_ + "missing", "*.*"), 0);

    int scan = ScanFolder(AutoId, dir_, "sub*");
    ASSERT_EQ(NextFolderEntry(scan), 1);
    EXPECT_EQ(FolderEntryIsFolder(scan), 1);
    EndFolderScan(scan);
    EXPECT_EQ(NextFolderEntry(scan), 0);
}

#ifdef _WIN32
// A scanner, the search indexer or a backup tool holding the saved file open
// without letting it be replaced delays the save for a moment; one that holds
// it for longer makes the save fail, with the old file whole and no
// temporary file left.
TEST_F(FilesTest, SaveWaitsForAFileHeldOpenAndFailsWholeAfterASecond) {
    const std::string file = dir_ + "Mnemora.prefs";
    ASSERT_EQ(WriteFileAtomically(file, "old\r\n"), 1);
    auto hold = [&] {
        return CreateFileW(os::Widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WriteFileAtomically(file, "new\r\n"), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_GE(waited, std::chrono::milliseconds(250)) << "the file was never held";
    EXPECT_EQ(Get("Mnemora.prefs"), "new\r\n");

    held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteFileAtomically(file, "lost\r\n"), 0);
    CloseHandle(held);
    EXPECT_EQ(Get("Mnemora.prefs"), "new\r\n");
    int scan = ScanFolder(AutoId, dir_, "");
    ASSERT_NE(scan, 0);
    std::vector<std::string> names;
    while (NextFolderEntry(scan))
        names.push_back(FolderEntryName(scan));
    EndFolderScan(scan);
    EXPECT_EQ(names, std::vector<std::string>{"Mnemora.prefs"});
}
#endif

// Only reparse points that stand for another name count as links; a cloud
// placeholder (OneDrive's files on demand) is an ordinary file.
TEST(Paths, OnlyNameSurrogateReparseTagsAreLinks) {
    EXPECT_TRUE(os::IsNameSurrogateTag(0xA000000Cu));   // symbolic link
    EXPECT_TRUE(os::IsNameSurrogateTag(0xA0000003u));   // junction or mount point
    EXPECT_TRUE(os::IsNameSurrogateTag(0xA000001Du));   // WSL symbolic link
    EXPECT_FALSE(os::IsNameSurrogateTag(0x9000001Au));  // cloud placeholder
    EXPECT_FALSE(os::IsNameSurrogateTag(0x9000601Au));  // cloud placeholder, variant 6
    EXPECT_FALSE(os::IsNameSurrogateTag(0x80000013u));  // deduplicated file
    EXPECT_FALSE(os::IsNameSurrogateTag(0x80000017u));  // compressed system file
    EXPECT_FALSE(os::IsNameSurrogateTag(0u));
}

TEST(Paths, PartsAcceptBothSeparators) {
    EXPECT_EQ(FolderPart("/usr/lib/mnemora/mnemora"), "/usr/lib/mnemora/");
    EXPECT_EQ(FolderPart("C:\\Games\\Mnemora.exe"), "C:\\Games\\");
    EXPECT_EQ(FolderPart("a/b\\c"), "a/b\\");
    EXPECT_EQ(FolderPart("\"/x/y/z\""), "/x/y/");
    EXPECT_EQ(FolderPart("/x/y|/z/w"), "/x/");
    EXPECT_EQ(FolderPart("name"), "");
    EXPECT_EQ(FileNamePart("/a/en_GB.language", 0), "en_GB.language");
    EXPECT_EQ(FileNamePart("/a/en_GB.language", 1), "en_GB");
    EXPECT_EQ(FileNamePart("a\\b\\archive.tar.gz", 1), "archive.tar");
    EXPECT_EQ(FileNamePart("\"/a/b c.txt\" more", 0), "b c.txt");
    EXPECT_EQ(FileNamePart("/a/noext", 1), "noext");
    EXPECT_EQ(FileNamePart("/a/", 0), "");
    EXPECT_EQ(FileExtensionPart("/a/en_GB.language"), "language");
    EXPECT_EQ(FileExtensionPart("/a.b/noext"), "");
    EXPECT_EQ(FileExtensionPart("x."), "");
}

TEST(Program, ExecutablePathAndArguments) {
    std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
#ifdef _WIN32
    EXPECT_EQ(exe.substr(1, 2), ":\\") << exe;  // a drive letter, no "\\?\\" prefix
#else
    EXPECT_EQ(exe.front(), '/');
#endif
    EXPECT_NE(exe.find("files_test"), std::string::npos);

    const char* argv[] = {"mnemora", "/log", "two words", nullptr};
    SetCommandArgs(3, argv);
    EXPECT_EQ(CommandArgCount(), 2);
    EXPECT_EQ(NextCommandArg(), "/log");
    EXPECT_EQ(NextCommandArg(), "two words");
    EXPECT_EQ(NextCommandArg(), "");
    SetCommandArgs(1, argv);
    EXPECT_EQ(CommandArgCount(), 0);
    EXPECT_EQ(NextCommandArg(), "");
}

TEST(Folders, TempFolderIsPrivateAndRemovedWithItsContents) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes the temporary folder from GetTempPathW, not $TMPDIR";
#endif
    std::string scratch = (fs::temp_directory_path() / "tmp-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(scratch.data()), nullptr);
    setenv("TMPDIR", scratch.c_str(), 1);

    std::string temp = TempFolder();
    ASSERT_EQ(temp.back(), '/');
    EXPECT_EQ(temp.rfind(scratch + "/", 0), 0u);
    EXPECT_EQ(TempFolder(), temp);  // the same folder for the whole run
#ifndef _WIN32                      // Windows keeps it private by the user's own temporary folder
    struct stat st {};
    ASSERT_EQ(stat(temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
    std::ofstream(temp + "en_GB.language") << "x";

    RemoveTempFolder();
    EXPECT_EQ(QueryFileSize(temp), -1);
    std::string again = TempFolder();
    EXPECT_NE(again, temp);
    RemoveTempFolder();
    RemoveTempFolder();  // nothing left to do
    unsetenv("TMPDIR");
    EXPECT_TRUE(fs::is_empty(scratch));
    fs::remove_all(scratch);
}

TEST(Folders, TempFolderFallsBackToAPrivateFolderUnderTmp) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no $TMPDIR and no /tmp";
#endif
    // $TMPDIR names a folder that cannot take the private one.
    std::string scratch = (fs::temp_directory_path() / "tmp-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(scratch.data()), nullptr);
    setenv("TMPDIR", (scratch + "/missing").c_str(), 1);
    RemoveTempFolder();
    std::string temp = PrivateTempFolder();
    EXPECT_EQ(temp.rfind("/tmp/mnemora-", 0), 0u) << temp;
    EXPECT_EQ(TempFolder(), temp);
    struct stat st {};
    ASSERT_EQ(stat(temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    RemoveTempFolder();
    EXPECT_EQ(QueryFileSize(temp), -1);
    unsetenv("TMPDIR");
    EXPECT_TRUE(fs::is_empty(scratch));
    fs::remove_all(scratch);
}

#ifdef _WIN32
// The shell's known folders; the temporary folder in its long-name form under
// the user's own, made once and removed with its contents.
TEST(Folders, KnownFoldersAndThePrivateTempFolder) {
    const std::string profile = ProfileFolder();
    ASSERT_GT(profile.size(), 3u);
    EXPECT_EQ(profile.substr(1, 2), ":\\") << profile;
    EXPECT_EQ(profile.back(), '\\');
    EXPECT_EQ(ApplicationDataFolder().rfind(profile, 0), 0u) << ApplicationDataFolder();
    EXPECT_NE(ApplicationDataFolder().find("\\AppData\\Roaming\\"), std::string::npos);
    EXPECT_EQ(QueryFileSize(ApplicationDataFolder()), -2);

    RemoveTempFolder();
    const std::string temp = TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(temp.find('~'), std::string::npos) << "short name form: " << temp;
    EXPECT_NE(temp.find("\\mnemora-"), std::string::npos);
    EXPECT_EQ(TempFolder(), temp);
    std::ofstream(temp + "en_GB.language") << "x";
    RemoveTempFolder();
    EXPECT_EQ(QueryFileSize(temp), -1);
}
#endif

TEST(Folders, ProfileAndApplicationDataFolders) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows asks the shell, not $HOME and $XDG_DATA_HOME";
#endif
    const char* old_home = std::getenv("HOME");
    std::string saved = old_home ? old_home : "";
    setenv("HOME", "/home/player", 1);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ProfileFolder(), "/home/player/");
    EXPECT_EQ(ApplicationDataFolder(), "/home/player/.local/share/");
    setenv("XDG_DATA_HOME", "/data/", 1);
    EXPECT_EQ(ApplicationDataFolder(), "/data/");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(ApplicationDataFolder(), "/home/player/.local/share/");
    unsetenv("XDG_DATA_HOME");
    if (old_home) {
        setenv("HOME", saved.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

}  // namespace
