// The language list, the text table and the choice list, from a folder of
// language files and from a ZIP archive of them, and the locale's code.
#include "i18n/language.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/files.h"
#include "engine/object_table.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string LanguageFile(const std::string& name, const std::string& texts) {
    return "[LANGUAGE FILE]\r\ntLangFileNAME = " + name + "\r\ntLangFileVERSION = 1.0\r\n\r\n" +
           "[TEXTS]\r\n" + texts;
}

// A ZIP archive of stored (uncompressed) entries, enough for the reader.
uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string body, directory;
    for (const auto& [name, data] : entries) {
        const uint32_t offset = static_cast<uint32_t>(body.size());
        const uint32_t crc = Crc32(data);
        Put32(body, 0x04034b50);
        Put16(body, 20);
        Put16(body, 0);
        Put16(body, 0);  // stored
        Put16(body, 0);
        Put16(body, 0);
        Put32(body, crc);
        Put32(body, data.size());
        Put32(body, data.size());
        Put16(body, name.size());
        Put16(body, 0);
        body += name + data;
        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, crc);
        Put32(directory, data.size());
        Put32(directory, data.size());
        Put16(directory, name.size());
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, offset);
        directory += name;
    }
    std::string out = body + directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, entries.size());
    Put16(out, entries.size());
    Put32(out, directory.size());
    Put32(out, body.size());
    Put16(out, 0);
    return out;
}

// A ZIP written with libarchive's writer: deflated entries, and entries of any
// type, so links and folders can be given names a reader must not trust.
struct ZipEntry {
    std::string name;
    std::string data;
    unsigned type = AE_IFREG;
    std::string link;
};
void WriteZipArchive(const fs::path& path, const std::vector<ZipEntry>& entries) {
    archive* w = archive_write_new();
    ASSERT_EQ(archive_write_set_format_zip(w), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(w, path.c_str()), ARCHIVE_OK);
    for (const ZipEntry& entry : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, entry.name.c_str());
        archive_entry_set_filetype(e, entry.type);
        archive_entry_set_perm(e, 0644);
        if (!entry.link.empty()) archive_entry_set_symlink(e, entry.link.c_str());
        archive_entry_set_size(e, static_cast<la_int64_t>(entry.data.size()));
        ASSERT_EQ(archive_write_header(w, e), ARCHIVE_OK) << archive_error_string(w);
        if (!entry.data.empty()) {
            ASSERT_EQ(archive_write_data(w, entry.data.data(), entry.data.size()),
                      static_cast<la_ssize_t>(entry.data.size()));
        }
        archive_entry_free(e);
    }
    archive_write_close(w);
    archive_write_free(w);
}

// Every path under a folder, relative to it.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.push_back(fs::relative(entry.path(), folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

class LanguageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/mnemora-lang-XXXXXX";
        root_ = mkdtemp(pattern);
        folder_ = root_ / "Mnemora.languages";
        i18n::ResetLanguages();
    }
    void TearDown() override { fs::remove_all(root_); }

    void WriteLanguage(const std::string& code, const std::string& content) {
        fs::create_directories(folder_);
        WriteFile(folder_ / (code + ".language"), content);
    }
    std::vector<std::string> Codes() {
        std::vector<std::string> codes;
        for (int32_t i = 0; i < i18n::LanguageCount(); ++i)
            codes.push_back(i18n::LanguageCodeAt(i));
        return codes;
    }

    fs::path root_, folder_;
};

TEST_F(LanguageTest, FolderListsLanguagesAndLoadsTheirTexts) {
    WriteLanguage("en_GB", LanguageFile("English", "tMenuSTART = START\r\ntOnlyEnglish = yes\r\n"));
    WriteLanguage("de_DE", LanguageFile("Deutsch", "tMenuSTART = LOS\r\n"));
    WriteFile(folder_ / "notes.txt", "not a language");

    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    EXPECT_EQ(i18n::LanguageCount(), 2);
    EXPECT_TRUE(i18n::HasLanguage("en_GB"));
    EXPECT_TRUE(i18n::HasLanguage("de_DE"));
    EXPECT_FALSE(i18n::HasLanguage("notes"));

    ASSERT_EQ(i18n::LoadLanguage(folder_.string(), "en_GB"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "START");
    EXPECT_EQ(i18n::Text("tLangFileNAME"), "English");
    // A second language overwrites what it has and keeps the rest.
    ASSERT_EQ(i18n::LoadLanguage(folder_.string(), "de_DE"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "LOS");
    EXPECT_EQ(i18n::Text("tOnlyEnglish"), "yes");
    EXPECT_EQ(i18n::Text("tNoSuchKey"), "");
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "fr_FR"), 0);

    // An extension in capitals is listed and loads by the name it was listed
    // under.
    WriteFile(folder_ / "fr_FR.LANGUAGE", LanguageFile("Francais", "tMenuSTART = JOUER\r\n"));
    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    ASSERT_TRUE(i18n::HasLanguage("fr_FR"));
    ASSERT_EQ(i18n::LoadLanguage(folder_.string(), "fr_FR"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "JOUER");
}

TEST_F(LanguageTest, SameDisplayNameAndMissingHeaderShareRecords) {
    WriteLanguage("a_A", LanguageFile("Same", ""));
    WriteLanguage("b_B", LanguageFile("Same", ""));
    WriteLanguage("c_C", "[TEXTS]\r\ntX = 1\r\n");
    WriteLanguage("d_D", "tBeforeAnyGroup = 1\r\n");
    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    // One record per display name, the later file in listing order winning;
    // the two files without a header share the empty name.
    EXPECT_EQ(i18n::LanguageCount(), 2);
    EXPECT_TRUE(i18n::HasLanguage("b_B"));
    EXPECT_FALSE(i18n::HasLanguage("a_A"));
    EXPECT_TRUE(i18n::HasLanguage("d_D"));
    EXPECT_FALSE(i18n::HasLanguage("c_C"));
    // Keys ahead of the first group are not texts.
    ASSERT_EQ(i18n::LoadLanguage(folder_.string(), "d_D"), 1);
    EXPECT_EQ(i18n::Text("tBeforeAnyGroup"), "");
}

TEST_F(LanguageTest, MissingEmptyOrCorruptSourcesListNothing) {
    EXPECT_EQ(i18n::ScanLanguages(folder_.string()), 0);
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "en_GB"), 0);

    fs::create_directories(folder_);
    EXPECT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    EXPECT_EQ(i18n::LanguageCount(), 0);
    EXPECT_EQ(i18n::PositionLanguageChoice("en_GB"), -1);
    EXPECT_EQ(i18n::NextLanguageChoice(), "");

    const fs::path corrupt = root_ / "corrupt.zip";
    WriteFile(corrupt, "PK\x03\x04 this is not really a zip archive at all");
    EXPECT_EQ(i18n::ScanLanguages(corrupt.string()), 0);
    EXPECT_EQ(i18n::LoadLanguage(corrupt.string(), "en_GB"), 0);
}

TEST_F(LanguageTest, ArchiveGivesTheSameResultAsTheFolder) {
    const fs::path archive = root_ / "Mnemora.languages";
    WriteFile(archive, Zip({{"en_GB.language", LanguageFile("English", "tMenuSTART = START\r\n")},
                            {"de_DE.language", LanguageFile("Deutsch", "tMenuSTART = LOS\r\n")},
                            {"fr_FR.Language", LanguageFile("Francais", "tMenuSTART = JOUER\r\n")},
                            {"readme.txt", "ignored"}}));
    ASSERT_EQ(i18n::ScanLanguages(archive.string()), 1);
    EXPECT_EQ(i18n::LanguageCount(), 3);
    ASSERT_EQ(i18n::LoadLanguage(archive.string(), "fr_FR"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "JOUER");
    ASSERT_EQ(i18n::LoadLanguage(archive.string(), "de_DE"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "LOS");
    // Nothing is left in the temporary folder.
    EXPECT_FALSE(fs::exists(engine::TempFolder() + "de_DE.language"));
}

TEST_F(LanguageTest, ArchiveEntriesOutsideTheTemporaryFolderAreNeverWritten) {
    const fs::path archive = root_ / "Mnemora.languages";
    WriteFile(archive, Zip({{"../escaped.language", LanguageFile("Escaped", "")},
                            {"sub/nested.language", LanguageFile("Nested", "")},
                            {"/abs.language", LanguageFile("Absolute", "")},
                            {"en_GB.language", LanguageFile("English", "")}}));
    ASSERT_EQ(i18n::ScanLanguages(archive.string()), 1);
    EXPECT_EQ(Codes(), std::vector<std::string>{"en_GB"});
    const fs::path temp = engine::TempFolder();
    EXPECT_FALSE(fs::exists(temp.parent_path().parent_path() / "escaped.language"));
    // A stored code that climbs out of the source is no language.
    EXPECT_EQ(i18n::LoadLanguage(archive.string(), "../escaped"), 0);
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "../x"), 0);
}

TEST_F(LanguageTest, HostileArchiveUnpacksOnlyPlainRegularFilesIntoThePrivateFolder) {
    // A private temporary folder under a TMPDIR of this test's own, so that
    // everything the game writes there can be listed.
    const char* old_tmpdir = std::getenv("TMPDIR");
    const std::string saved_tmpdir = old_tmpdir ? old_tmpdir : "";
    engine::RemoveTempFolder();
    const fs::path tmpdir = root_ / "tmp";
    fs::create_directories(tmpdir);
    setenv("TMPDIR", tmpdir.c_str(), 1);

    const fs::path secret = root_ / "secret.txt";
    WriteFile(secret, LanguageFile("Secret", "tSecret = leaked\r\n"));
    const std::string absolute = "/tmp/mnemora-abs-" + std::to_string(getpid()) + ".language";
    // 16 MB of text that would parse as a language; deflated it is a few KB.
    const std::string bomb = LanguageFile("Bomb", "tBomb = " + std::string(16 << 20, 'a'));
    const fs::path archive = root_ / "Mnemora.languages";
    WriteZipArchive(archive,
                    {
                        {"../../evil.language", LanguageFile("Evil", "")},
                        {absolute, LanguageFile("Absolute", "")},
                        {"link.language", "", AE_IFLNK, secret.string()},
                        {"folder.language", "", AE_IFDIR},
                        {"sub/", "", AE_IFDIR},
                        {"sub/nested.language", LanguageFile("Nested", "")},
                        {"bomb.language", bomb},
                        {"en_GB.language", LanguageFile("English", "tMenuSTART = START\r\n")},
                    });
    // The archive really holds the hostile names as written.
    std::vector<std::string> stored;
    const int pack = engine::OpenArchive(engine::AutoId, archive.string(), engine::kArchiveZip);
    ASSERT_NE(pack, 0);
    while (engine::NextArchiveEntry(pack))
        stored.push_back(engine::ArchiveEntryName(pack));
    engine::CloseArchive(pack);
    ASSERT_EQ(stored.size(), 8u);
    EXPECT_EQ(stored[0], "../../evil.language");
    EXPECT_EQ(stored[1], absolute);

    ASSERT_EQ(i18n::ScanLanguages(archive.string()), 1);
    EXPECT_EQ(Codes(), std::vector<std::string>{"en_GB"});
    for (const char* code : {"link", "folder", "bomb", "evil", "nested"})
        EXPECT_EQ(i18n::LoadLanguage(archive.string(), code), 0) << code;
    ASSERT_EQ(i18n::LoadLanguage(archive.string(), "en_GB"), 1);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "START");
    EXPECT_EQ(i18n::Text("tSecret"), "");
    EXPECT_TRUE(i18n::Text("tBomb").empty());  // 16 MB of text: not printed

    // Written nowhere else: TMPDIR holds the private folder alone, now empty;
    // beside the archive and under /tmp nothing new appeared.
    const fs::path temp = fs::path(engine::PrivateTempFolder()).parent_path();
    EXPECT_EQ(temp.parent_path(), tmpdir);
    EXPECT_EQ(Tree(tmpdir), std::vector<std::string>{temp.filename().string()});
    EXPECT_EQ(Tree(root_), (std::vector<std::string>{"Mnemora.languages", "secret.txt", "tmp",
                                                     "tmp/" + temp.filename().string()}));
    EXPECT_FALSE(fs::exists(absolute));
    EXPECT_EQ(fs::file_size(secret), LanguageFile("Secret", "tSecret = leaked\r\n").size());

    engine::RemoveTempFolder();
    if (old_tmpdir) {
        setenv("TMPDIR", saved_tmpdir.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

TEST_F(LanguageTest, LinksInTheFolderAreNotFollowed) {
    WriteLanguage("en_GB", LanguageFile("English", "tMenuSTART = START\r\n"));
    const fs::path outside = root_ / "outside.txt";
    WriteFile(outside, LanguageFile("Outside", "tSecret = leaked\r\n"));
    fs::create_symlink(outside, folder_ / "xx_XX.language");
    fs::create_symlink(root_ / "missing.txt", folder_ / "yy_YY.language");
    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    EXPECT_EQ(Codes(), std::vector<std::string>{"en_GB"});
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "xx_XX"), 0);
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "yy_YY"), 0);
    EXPECT_EQ(i18n::Text("tSecret"), "");
    EXPECT_EQ(i18n::LoadLanguage(folder_.string(), "en_GB"), 1);
}

TEST_F(LanguageTest, ChoiceListWrapsAndStaysOnTheLastEntryWithoutAMatch) {
    WriteLanguage("a_A", LanguageFile("Alpha", ""));
    WriteLanguage("b_B", LanguageFile("Beta", ""));
    WriteLanguage("c_C", LanguageFile("Gamma", ""));
    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);
    const std::vector<std::string> order = Codes();
    ASSERT_EQ(order.size(), 3u);

    EXPECT_EQ(i18n::PositionLanguageChoice(order[1]), 1);
    EXPECT_EQ(i18n::NextLanguageChoice(), order[2]);
    EXPECT_EQ(i18n::NextLanguageChoice(), order[0]);
    EXPECT_EQ(i18n::NextLanguageChoice(), order[1]);

    EXPECT_EQ(i18n::PositionLanguageChoice("zz_ZZ"), 2);
    EXPECT_EQ(i18n::CurrentLanguageChoice(), 2);
    EXPECT_EQ(i18n::NextLanguageChoice(), order[0]);
    // Index lookups leave the choice where it is.
    EXPECT_EQ(i18n::LanguageNameAt(2), i18n::LanguageNameAt(2));
    EXPECT_EQ(i18n::CurrentLanguageChoice(), 0);
}

TEST_F(LanguageTest, LocalesFindTheNearestLanguageAndNamesSortAsAPlayerLooksForThem) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"en_GB", "English"},
        {"es_ES", "Espa\xC3\xB1ol"},
        {"pt_PT", "Portugu\xC3\xAAs"},
        {"pt_BR", "Portugu\xC3\xAAs (Brasil)"},
        {"de_DE", "Deutsch"},
        {"nb_NO", "Norsk bokm\xC3\xA5l"},
        {"cs_CZ",
         "\xC4\x8C"
         "e\xC5\xA1tina"},
        {"ca_ES", "catal\xC3\xA0"},
        {"ru_RU", "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9"},
        {"el_GR", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC"},
        {"fr_CA",
         "Fran\xC3\xA7"
         "ais (Canada)"}};
    for (const auto& [code, name] : files)  // UTF-8 files carry the byte-order mark
        WriteLanguage(code, "\xEF\xBB\xBF" + LanguageFile(name, ""));
    ASSERT_EQ(i18n::ScanLanguages(folder_.string()), 1);

    // Through the OS's locale names as the game receives them.
    for (const auto& [locale, expected] :
         std::vector<std::pair<std::string, std::string>>{{"es_MX.UTF-8", "es_ES"},
                                                          {"es", "es_ES"},
                                                          {"pt_BR", "pt_BR"},
                                                          {"pt-AO", "pt_PT"},
                                                          {"pt", "pt_PT"},
                                                          {"nb", "nb_NO"},
                                                          {"no_NO", "nb_NO"},
                                                          {"nn-NO", "nb_NO"},
                                                          {"de_AT", "de_DE"},
                                                          {"de-CH", "de_DE"},
                                                          {"en_US", "en_GB"},
                                                          {"EN_gb", "en_GB"},
                                                          {"ru_UA", "ru_RU"},
                                                          {"el", "el_GR"},
                                                          {"ca-ES-valencia", "ca_ES"},
                                                          {"fr_FR", "fr_CA"},
                                                          {"pl_PL", "en_GB"},
                                                          {"", "en_GB"},
                                                          {"sr_Latn_RS", "en_GB"}}) {
        EXPECT_EQ(i18n::NearestLanguage(i18n::LocaleCodeFromName(locale)), expected) << locale;
    }

    // Own names, case and accents aside; Latin, then Greek, then Cyrillic.
    EXPECT_EQ(Codes(),
              (std::vector<std::string>{"ca_ES", "cs_CZ", "de_DE", "en_GB", "es_ES", "fr_CA",
                                        "nb_NO", "pt_PT", "pt_BR", "el_GR", "ru_RU"}));
}

TEST(LocaleTest, LocaleNamesBecomeLanguageCodes) {
    EXPECT_EQ(i18n::LocaleCodeFromName("de_DE.UTF-8"), "de_DE");
    EXPECT_EQ(i18n::LocaleCodeFromName("de_DE@euro"), "de_DE");
    EXPECT_EQ(i18n::LocaleCodeFromName("en-GB"), "en_GB");
    EXPECT_EQ(i18n::LocaleCodeFromName("C"), "");
    EXPECT_EQ(i18n::LocaleCodeFromName("POSIX"), "");
    EXPECT_EQ(i18n::LocaleCodeFromName("C.UTF-8"), "");

    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(i18n::UserLocaleCode(), "fr_FR");
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(i18n::UserLocaleCode(), "de_DE");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(i18n::UserLocaleCode(), "");
    unsetenv("LC_ALL");
    unsetenv("LANG");
    EXPECT_EQ(i18n::UserLocaleCode(), "");
}

}  // namespace
