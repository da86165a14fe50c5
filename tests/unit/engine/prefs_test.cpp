// Preference files: the exact bytes written, the reading rules, and hostile
// files (no line end, NUL bytes, huge lines, bad UTF-8, folders, no access).
#include "engine/prefs.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace {

using namespace engine;
namespace fs = std::filesystem;

class PrefsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "prefs-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        ClosePrefFile();
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) { return dir_ + name; }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Get(const std::string& name) {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Opens a file holding `bytes`.
    int OpenWith(const std::string& bytes) {
        Put("test.prefs", bytes);
        return OpenPrefFile(Path("test.prefs"));
    }
    // Every group and key of the open file, as the language loader walks them.
    std::vector<std::pair<std::string, std::string>> Walk() {
        std::vector<std::pair<std::string, std::string>> seen;
        ListPrefGroups();
        while (NextPrefGroup()) {
            seen.emplace_back("[" + PrefGroupName() + "]", "");
            ListPrefKeys();
            while (NextPrefKey())
                seen.emplace_back(PrefKeyName(), PrefKeyValue());
        }
        return seen;
    }
    std::string dir_;
};

const std::string kBom = "\xEF\xBB\xBF";

TEST_F(PrefsTest, TheGamesSettingsFileByteForByte) {
    ASSERT_EQ(CreatePrefFile(Path("Mnemora.prefs")), 1);
    WritePrefComment("Mnemora Preferences");
    EXPECT_EQ(SelectPrefGroup("Settings"), 0);  // pending: the first write adds it
    WritePrefString("Language", "fr_FR");
    WritePrefInt("Music", 1);
    WritePrefInt("GameScreen", 2);
    WritePrefInt("Resolution", 1);
    WritePrefInt("Sounds", 0);
    WritePrefInt("MusicVolume", 60);
    WritePrefInt("Completed", -1);
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_EQ(Get("Mnemora.prefs"), kBom +
                                        "\r\n"
                                        "; Mnemora Preferences\r\n"
                                        "[Settings]\r\n"
                                        "Language = fr_FR\r\n"
                                        "Music = 1\r\n"
                                        "GameScreen = 2\r\n"
                                        "Resolution = 1\r\n"
                                        "Sounds = 0\r\n"
                                        "MusicVolume = 60\r\n"
                                        "Completed = -1\r\n");

    // And it reads back as written.
    ASSERT_EQ(OpenPrefFile(Path("Mnemora.prefs")), 1);
    ASSERT_EQ(SelectPrefGroup("Settings"), 1);
    EXPECT_EQ(ReadPrefString("Language", ""), "fr_FR");
    EXPECT_EQ(ReadPrefInt("MusicVolume", 0), 60);
    EXPECT_EQ(ReadPrefInt("Completed", 0), -1);
    EXPECT_EQ(ClosePrefFile(), 1);  // not modified: not rewritten
}

TEST_F(PrefsTest, OneCommentGroupAndKey) {
    ASSERT_EQ(CreatePrefFile(Path("a.prefs")), 1);
    WritePrefComment("c");
    SelectPrefGroup("G");
    WritePrefString("k", "v");
    ClosePrefFile();
    EXPECT_EQ(Get("a.prefs"), kBom + "\r\n; c\r\n[G]\r\nk = v\r\n");

    ASSERT_EQ(CreatePrefFile(Path("empty.prefs")), 1);
    ClosePrefFile();
    EXPECT_EQ(Get("empty.prefs"), kBom + "\r\n");
}

TEST_F(PrefsTest, KeyLinesWithAnyBlanksGiveTheSameKeyAndValue) {
    ASSERT_EQ(OpenWith("[S]\r\nA=1\r\n B = 2 \r\n\tC  =\t 3\t\r\nD\t=x y  \r\nE\r\nF =\r\n"), 1);
    SelectPrefGroup("S");
    EXPECT_EQ(ReadPrefString("A", "-"), "1");
    EXPECT_EQ(ReadPrefString("B", "-"), "2");
    EXPECT_EQ(ReadPrefString("C", "-"), "3");
    EXPECT_EQ(ReadPrefString("D", "-"), "x y");
    EXPECT_EQ(ReadPrefString("E", "-"), "");  // a line without "=" is a key
    EXPECT_EQ(ReadPrefString("e", "-"), "");  // keys in any letter case
    EXPECT_EQ(ReadPrefInt("E", 9), 0);        // present but empty: 0, not the default
    EXPECT_EQ(ReadPrefInt("F", 9), 0);
    EXPECT_EQ(ReadPrefInt("G", 9), 9);
    EXPECT_EQ(ReadPrefString("G", "dflt "), "dflt ");  // the default unchanged
}

TEST_F(PrefsTest, IntegersReadUpToTheFirstOtherCharacter) {
    ASSERT_EQ(OpenWith("a = 12abc\nb = -7\nc = +5\nd = abc\ne = 99999999999\nf = --1\n"
                       "g = \t 42 \n"),
              1);
    EXPECT_EQ(ReadPrefInt("a", 0), 12);
    EXPECT_EQ(ReadPrefInt("b", 0), -7);
    EXPECT_EQ(ReadPrefInt("c", 0), 5);
    EXPECT_EQ(ReadPrefInt("d", 5), 0);
    EXPECT_EQ(ReadPrefInt("e", 0), 2147483647);
    EXPECT_EQ(ReadPrefInt("f", 5), 0);
    EXPECT_EQ(ReadPrefInt("g", 0), 42);
}

TEST_F(PrefsTest, GroupsHeadersAndComments) {
    ASSERT_EQ(OpenWith("top = 1\n[settings] trailing text\nMusic = 0\nMusic = 1\n;x\n; y\n"
                       "[Open header\nk = v\n[]\nempty = yes\n"),
              1);
    EXPECT_EQ(ReadPrefInt("top", 0), 1);  // before any header: no group
    EXPECT_EQ(ReadPrefInt("Music", 7), 7);
    ASSERT_EQ(SelectPrefGroup("Settings"), 1);  // stored in lower case
    EXPECT_EQ(ReadPrefInt("Music", 7), 0);      // the first of two wins
    EXPECT_EQ(ReadPrefInt("top", 7), 7);
    ASSERT_EQ(SelectPrefGroup("Open header"), 1);  // no "]": the rest of the line
    EXPECT_EQ(ReadPrefString("k", ""), "v");
    EXPECT_EQ(SelectPrefGroup("Missing"), 0);
    EXPECT_EQ(ReadPrefString("k", "d"), "d");  // pending group: defaults
    EXPECT_EQ(ListPrefKeys(), 0);
    EXPECT_EQ(SelectPrefGroup(""), 1);
    EXPECT_EQ(ReadPrefInt("top", 0), 1);

    // Writes use the first "Music" too, and take the given letter case.
    SelectPrefGroup("SETTINGS");
    WritePrefInt("MUSIC", 5);
    // Comments, with or without a blank after ";", have the same text.
    ClosePrefFile();
    EXPECT_EQ(Get("test.prefs"),
              kBom +
                  "\r\ntop = 1\r\n[settings]\r\nMUSIC = 5\r\nMusic = 1\r\n; x\r\n"
                  "; y\r\n[Open header]\r\nk = v\r\n[]\r\nempty = yes\r\n");
}

TEST_F(PrefsTest, ListingWalksGroupsAndKeysInFileOrder) {
    ASSERT_EQ(OpenWith("lost = 1\n[LANGUAGE FILE]\ntLangFileNAME = English\n; note\n"
                       "tLangFileVERSION = 1.0\n[Menu]\n[Help]\ntHelpTEXT = a|b\n"),
              1);
    EXPECT_EQ(Walk(),
              (std::vector<std::pair<std::string, std::string>>{{"[LANGUAGE FILE]", ""},
                                                                {"tLangFileNAME", "English"},
                                                                {"tLangFileVERSION", "1.0"},
                                                                {"[Menu]", ""},
                                                                {"[Help]", ""},
                                                                {"tHelpTEXT", "a|b"}}));
    EXPECT_EQ(NextPrefGroup(), 0);
    // The keys before the first header are listed after ListPrefGroups.
    ListPrefGroups();
    ListPrefKeys();
    ASSERT_EQ(NextPrefKey(), 1);
    EXPECT_EQ(PrefKeyName(), "lost");
    EXPECT_EQ(NextPrefKey(), 0);
    EXPECT_EQ(PrefKeyName(), "");
    EXPECT_EQ(NextPrefKey(), 0);
}

TEST_F(PrefsTest, EncodingByteOrderMarkOrLatin1) {
    ASSERT_EQ(OpenWith("name = caf\xE9\n"), 1);  // no mark: ISO-8859-1
    EXPECT_EQ(ReadPrefString("name", ""), "caf\u00E9");
    ASSERT_EQ(OpenWith(kBom + "name = caf\xC3\xA9\n"), 1);
    EXPECT_EQ(ReadPrefString("name", ""), "caf\u00E9");
    ASSERT_EQ(OpenWith(kBom + "name = a\xFF"
                              "b\xC3\n"),
              1);  // bad UTF-8 is repaired
    EXPECT_EQ(ReadPrefString("name", ""), "a\uFFFDb\uFFFD");
    ASSERT_EQ(OpenWith("\xEF\xBB"
                       "x = 1\n"),
              1);  // half a mark is Latin-1 text
    ListPrefKeys();
    ASSERT_EQ(NextPrefKey(), 1);
    EXPECT_EQ(PrefKeyName(), "\u00EF\u00BBx");

    // A Latin-1 file that is rewritten becomes UTF-8 with a mark.
    ASSERT_EQ(OpenWith("[G]\nname = caf\xE9\n"), 1);
    SelectPrefGroup("G");
    WritePrefString("other", "\u00E9");
    ClosePrefFile();
    EXPECT_EQ(Get("test.prefs"), kBom + "\r\n[G]\r\nname = caf\u00E9\r\nother = \u00E9\r\n");
}

TEST_F(PrefsTest, HostileFilesReadWithoutHarm) {
    EXPECT_EQ(OpenWith(""), 1);
    EXPECT_EQ(ReadPrefInt("x", 3), 3);
    EXPECT_EQ(OpenWith("x = 5"), 1);  // no line end
    EXPECT_EQ(ReadPrefInt("x", 3), 5);
    EXPECT_EQ(OpenWith("\r\r\n\n\r"), 1);
    EXPECT_EQ(Walk().size(), 0u);
    EXPECT_EQ(OpenWith("[never closed"), 1);
    EXPECT_EQ(SelectPrefGroup("never closed"), 1);

    // The text ends at a NUL byte.
    EXPECT_EQ(OpenWith(std::string("a = 1\nb = 2\0\nc = 3\n", 19)), 1);
    EXPECT_EQ(ReadPrefString("b", "-"), "2");
    EXPECT_EQ(ReadPrefString("c", "-"), "-");

    std::string huge_line = "big = " + std::string(1 << 20, 'v') + "\nafter = 1\n";
    EXPECT_EQ(OpenWith(huge_line), 1);
    EXPECT_EQ(ReadPrefString("big", "").size(), size_t{1} << 20);
    EXPECT_EQ(ReadPrefInt("after", 0), 1);
    EXPECT_EQ(OpenWith("[" + std::string(1 << 20, 'g')), 1);
    EXPECT_EQ(OpenWith(std::string(200000, '\n') + "k=v"), 1);
    EXPECT_EQ(ReadPrefString("k", ""), "v");
}

TEST_F(PrefsTest, FilesThatCannotBeOpened) {
    // A missing file fails but keeps its name: writing then creates it.
    EXPECT_EQ(OpenPrefFile(Path("new.prefs")), 0);
    EXPECT_EQ(ReadPrefInt("x", 4), 4);
    SelectPrefGroup("Settings");
    WritePrefInt("x", 1);
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_EQ(Get("new.prefs"), kBom + "\r\n[Settings]\r\nx = 1\r\n");

    // A folder, an empty name and a missing folder give defaults; writes do nothing.
    EXPECT_EQ(OpenPrefFile(dir_), 0);
    EXPECT_EQ(WritePrefInt("x", 1), 0);
    EXPECT_EQ(OpenPrefFile(""), 0);
    EXPECT_EQ(ReadPrefString("x", "d"), "d");
    EXPECT_EQ(CreatePrefFile(Path("no/such/folder.prefs")), 0);
    EXPECT_EQ(WritePrefString("x", "y"), 0);
    EXPECT_EQ(WritePrefComment("x"), 0);
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_EQ(CreatePrefFile(dir_), 0);
    EXPECT_FALSE(fs::exists(Path("no")));

    if (geteuid() != 0) {  // root reads everything
        Put("secret.prefs", "x = 1\n");
        chmod(Path("secret.prefs").c_str(), 0);
        EXPECT_EQ(OpenPrefFile(Path("secret.prefs")), 0);
        EXPECT_EQ(WritePrefInt("x", 2), 0);  // an unreadable file is never overwritten
        ClosePrefFile();
        chmod(Path("secret.prefs").c_str(), 0600);
        EXPECT_EQ(Get("secret.prefs"), "x = 1\n");
    }
}

TEST_F(PrefsTest, RewritingReplacesTheFileWholeAndKeepsItsMode) {
    Put("Mnemora.prefs", "old text\n");
    chmod(Path("Mnemora.prefs").c_str(), 0640);
    ASSERT_EQ(CreatePrefFile(Path("Mnemora.prefs")), 1);
    EXPECT_EQ(Get("Mnemora.prefs"), "old text\n");  // untouched until the close
    WritePrefString("Language", "en_GB");
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_EQ(Get("Mnemora.prefs"), kBom + "\r\nLanguage = en_GB\r\n");
    struct stat st {};
    ASSERT_EQ(stat(Path("Mnemora.prefs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    // A link stays a link; the file it names gets the text.
    fs::create_symlink(Path("Mnemora.prefs"), Path("link.prefs"));
    ASSERT_EQ(OpenPrefFile(Path("link.prefs")), 1);
    WritePrefString("Language", "de_DE");
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_TRUE(fs::is_symlink(Path("link.prefs")));
    EXPECT_EQ(Get("Mnemora.prefs"), kBom + "\r\nLanguage = de_DE\r\n");
}

// Runs ClosePrefFile under a file-size limit, which makes writing fail part
// way (even for root).
int CloseWithSizeLimit(rlim_t bytes) {
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = bytes;
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) return -1;
    int result = ClosePrefFile();
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    return result;
}

TEST_F(PrefsTest, AFailedWriteLeavesTheOldFile) {
    Put("Mnemora.prefs", "Language = en_GB\n");
    ASSERT_EQ(OpenPrefFile(Path("Mnemora.prefs")), 1);
    WritePrefString("Language", std::string(100000, 'x'));
    EXPECT_EQ(CloseWithSizeLimit(4096), 0);
    EXPECT_EQ(Get("Mnemora.prefs"), "Language = en_GB\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    // A new file that cannot be written leaves nothing behind.
    ASSERT_EQ(CreatePrefFile(Path("new.prefs")), 1);
    WritePrefString("Language", std::string(100000, 'x'));
    EXPECT_EQ(CloseWithSizeLimit(4096), 0);
    EXPECT_FALSE(fs::exists(Path("new.prefs")));

    // Opening a missing file and closing it unchanged creates nothing either.
    EXPECT_EQ(OpenPrefFile(Path("absent.prefs")), 0);
    EXPECT_EQ(ClosePrefFile(), 1);
    EXPECT_FALSE(fs::exists(Path("absent.prefs")));
}

TEST_F(PrefsTest, WritesGoAfterTheLastKeyOfTheirGroup) {
    ASSERT_EQ(OpenWith("; head\ntop = 1\n[A]\na1 = 1\n; tail of A\n[B]\n; only a comment\n"), 1);
    SelectPrefGroup("");
    WritePrefString("top2", "2");
    SelectPrefGroup("a");
    WritePrefString("a2", "2");
    WritePrefComment("after a2");
    SelectPrefGroup("B");
    WritePrefString("b1", "1");  // no key yet: at the group's end
    SelectPrefGroup("C");
    WritePrefString("c1", "1");  // a new group at the end of the file
    ClosePrefFile();
    EXPECT_EQ(Get("test.prefs"),
              kBom +
                  "\r\n; head\r\ntop = 1\r\ntop2 = 2\r\n[A]\r\na1 = 1\r\na2 = 2\r\n"
                  "; after a2\r\n; tail of A\r\n[B]\r\n; only a comment\r\n"
                  "b1 = 1\r\n[C]\r\nc1 = 1\r\n");

    // A comment follows the node last listed.
    ASSERT_EQ(OpenWith("[G]\na = 1\nb = 2\n"), 1);
    ListPrefGroups();
    NextPrefGroup();
    ListPrefKeys();
    NextPrefKey();
    WritePrefComment("after a");
    EXPECT_EQ(NextPrefKey(), 1);  // the listing goes on past the new comment
    EXPECT_EQ(PrefKeyName(), "b");
    ClosePrefFile();
    EXPECT_EQ(Get("test.prefs"), kBom + "\r\n[G]\r\na = 1\r\n; after a\r\nb = 2\r\n");
}

TEST_F(PrefsTest, OpeningAnotherFileWritesTheCurrentOne) {
    ASSERT_EQ(CreatePrefFile(Path("first.prefs")), 1);
    WritePrefString("k", "v");
    ASSERT_EQ(OpenWith("x = 1\n"), 1);
    EXPECT_EQ(Get("first.prefs"), kBom + "\r\nk = v\r\n");
    EXPECT_EQ(ReadPrefString("k", "none"), "none");
}

}  // namespace
