// Languages: the text table, the list of available languages and the choice
// list the settings screen walks, and the user's locale.
//
// A language source is "Mnemora.languages" beside the program: a folder of
// "<code>.language" files, or a ZIP archive holding them. Every file is a
// preference file; its group "LANGUAGE FILE" names the language, and every key
// of every group becomes a text. Loading a language adds to the text table and
// overwrites, never clears, so a key missing from a later language keeps the
// earlier text.
//
// Both sources are untrusted. A ZIP entry is used only when it is a regular
// file with a plain file name; it is unpacked, up to a size cap, into the
// run's private temporary folder and nowhere else, and removed once read. A
// file in the folder is opened without following a symbolic link, so a link
// cannot lead the game to read a file outside it.
#include "i18n/language.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "engine/archive.h"
#include "engine/files.h"
#include "engine/object_table.h"
#include "engine/prefs.h"
#include "engine/system.h"

namespace i18n {

namespace {

// A language file is a few kilobytes of text; 4 MB leaves ample room for any
// real translation and stops a ZIP bomb long before it fills the disk.
constexpr int64_t kMaxLanguageFileSize = 4 << 20;

struct LanguageRecord {
    std::string name, code, version, date, author, languageId, software;
    // The file's name as it was listed ("fr_FR.LANGUAGE"): loading opens that.
    std::string fileName;
};

struct Choice {
    std::string code, name, fileName;
};

struct LanguageState {
    engine::StringMap<std::string> texts{512};
    engine::StringMap<LanguageRecord> languages{512};
    engine::RecordList<Choice> choices;
    // The choice list again, by index, so lookups never move its cursor.
    std::vector<Choice> ordered;
};
LanguageState& State() {
    static LanguageState s;
    return s;
}

// A name taken from outside (an archive entry, a stored setting) is only
// trusted as a plain file name: no folder part, nothing that climbs out.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// -2 for a folder; other nonzero sizes are archives; 0 (or missing) is nothing.
enum class SourceKind { None, Folder, Archive };
SourceKind KindOf(const std::string& source) {
    const int64_t size = engine::QueryFileSize(source);
    if (size == -2) return SourceKind::Folder;
    if (size > 0) return SourceKind::Archive;
    return SourceKind::None;
}

std::string FolderPath(const std::string& source) {
    if (!source.empty() && (source.back() == '/' || source.back() == engine::kPathSeparator)) {
        return source;
    }
    return source + engine::kPathSeparator;
}

// Reads the header group of an opened language file into its record, keyed by
// the display name (a file without the header gets the empty name).
void ReadRecordFromOpenFile(const std::string& fileName) {
    auto& s = State();
    const std::string code = engine::FileNamePart(fileName, 1);
    engine::SelectPrefGroup("LANGUAGE FILE");
    const std::string name = engine::ReadPrefString("tLangFileNAME", "");
    LanguageRecord& record = engine::MapSlot(s.languages, name);
    record.name = name;
    record.code = code;
    record.fileName = fileName;
    record.version = engine::ReadPrefString("tLangFileVERSION", "");
    record.date = engine::ReadPrefString("tLangFileDATE", "");
    record.author = engine::ReadPrefString("tLangFileAUTHOR", "");
    record.languageId = engine::ReadPrefString("tLangFileLANGID", "");
    record.software = engine::ReadPrefString("tLangFileSOFTWARE", "");
}

// The base letters of U+00C0..U+017F in lower case: accents dropped, ligatures
// and letters with strokes under the letter a reader looks for them by.
constexpr char kLatinBase[] =
    "aaaaaaaceeeeiiiidnooooo*ouuuuytsaaaaaaaceeeeiiiidnooooo/ouuuuytyaaaaaaccccccccdddd"
    "eeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkkllllllllllnnnnnnnnnoooooooorrrrrrssssssssttttt"
    "tuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(sizeof kLatinBase == 0x180 - 0xC0 + 1);

// A character folded for sorting: lower case without accents, so "Čeština"
// stands among the C's and "Ελληνικά" beside "Ελληνικα".
char32_t FoldForSorting(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0xC0 && c < 0x180) return static_cast<char32_t>(kLatinBase[c - 0xC0]);
    switch (c) {  // Greek vowels with tonos or dialytika
        case 0x0386:
        case 0x03AC:
            return 0x03B1;
        case 0x0388:
        case 0x03AD:
            return 0x03B5;
        case 0x0389:
        case 0x03AE:
            return 0x03B7;
        case 0x038A:
        case 0x03AA:
        case 0x03AF:
        case 0x03CA:
        case 0x0390:
            return 0x03B9;
        case 0x038C:
        case 0x03CC:
            return 0x03BF;
        case 0x038E:
        case 0x03AB:
        case 0x03CD:
        case 0x03CB:
        case 0x03B0:
            return 0x03C5;
        case 0x038F:
        case 0x03CE:
            return 0x03C9;
        case 0x03C2:
            return 0x03C3;  // final sigma
        default:
            break;
    }
    if (c >= 0x0391 && c <= 0x03A9) return c + 0x20;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // Cyrillic capitals
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
    return c;
}

// Latin names first, then Greek, then Cyrillic, then anything else: a player
// looks for their language among the names written in their own alphabet.
int ScriptRank(char32_t c) {
    if (c < 0x0250) return 0;
    if (c >= 0x0370 && c < 0x0400) return 1;
    if (c >= 0x0400 && c < 0x0530) return 2;
    return 3;
}

// The sorting key of a language's display name: the script of its first
// letter, then the folded name.
std::pair<int, std::u32string> SortKey(const std::string& name) {
    std::u32string folded;
    for (char16_t unit : engine::ToUtf16(name))
        folded.push_back(FoldForSorting(unit));
    return {folded.empty() ? 0 : ScriptRank(folded.front()), folded};
}

// The choice list holds the languages sorted by their own names, case and
// accents aside, Latin before Greek before Cyrillic; equal names by code.
void RebuildChoiceList() {
    auto& s = State();
    s.choices.Clear();
    s.ordered.clear();
    engine::MapRewind(s.languages);
    while (engine::MapAdvance(s.languages)) {
        const LanguageRecord& record = engine::MapValue(s.languages);
        s.ordered.push_back(Choice{record.code, record.name, record.fileName});
    }
    std::vector<std::pair<std::pair<int, std::u32string>, size_t>> keys;
    for (size_t i = 0; i < s.ordered.size(); ++i)
        keys.push_back({SortKey(s.ordered[i].name), i});
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return std::tie(a.first, s.ordered[a.second].code) <
               std::tie(b.first, s.ordered[b.second].code);
    });
    std::vector<Choice> sorted;
    for (const auto& key : keys)
        sorted.push_back(s.ordered[key.second]);
    s.ordered = std::move(sorted);
    for (const Choice& choice : s.ordered)
        s.choices.Add(choice);
    s.choices.Reset();
}

bool HasLanguageExtension(const std::string& name) {
    return engine::UpperCase(engine::FileExtensionPart(name)) == "LANGUAGE";
}

int32_t ScanFolder(const std::string& source) {
    const std::string folder = FolderPath(source);
    const int scan = engine::ScanFolder(engine::AutoId, source, "*.language");
    if (!scan) return 0;
    while (engine::NextFolderEntry(scan)) {
        if (engine::FolderEntryIsFolder(scan)) continue;
        const std::string entry = engine::FolderEntryName(scan);
        if (!engine::OpenPrefFile(folder + entry, engine::kPrefNoLinks)) continue;
        ReadRecordFromOpenFile(entry);
        engine::ClosePrefFile();
    }
    engine::EndFolderScan(scan);
    RebuildChoiceList();
    return 1;
}

int32_t ScanArchive(const std::string& source) {
    const int pack = engine::OpenArchive(engine::AutoId, source, engine::kArchiveZip);
    if (!pack) return 0;
    if (!engine::ListArchive(pack)) {
        engine::CloseArchive(pack);
        return 0;
    }
    const std::string temp = engine::PrivateTempFolder();
    if (temp.empty()) {  // nowhere safe to unpack to
        engine::CloseArchive(pack);
        return 0;
    }
    // Names first: extracting moves the archive's read position. Links,
    // folders and devices are skipped, and so is every name with a folder
    // part: nothing is renamed into the temporary folder.
    std::vector<std::string> entries;
    while (engine::NextArchiveEntry(pack)) {
        const std::string entry = engine::ArchiveEntryName(pack);
        if (engine::ArchiveEntryKind(pack) != 0) continue;
        if (!IsPlainFileName(entry) || !HasLanguageExtension(entry)) continue;
        entries.push_back(entry);
    }
    for (const std::string& entry : entries) {
        const std::string path = temp + entry;
        if (engine::ExtractArchiveEntry(pack, path, entry, kMaxLanguageFileSize) < 0) continue;
        if (engine::OpenPrefFile(path)) {
            ReadRecordFromOpenFile(entry);
            engine::ClosePrefFile();
        }
        engine::RemoveFile(path, 2);
    }
    RebuildChoiceList();
    engine::CloseArchive(pack);
    return 1;
}

// Every key of every group into the text table; keys before the first group
// header are not texts.
void ReadTextsFromOpenFile() {
    auto& s = State();
    engine::ListPrefGroups();
    while (engine::NextPrefGroup()) {
        engine::ListPrefKeys();
        while (engine::NextPrefKey()) {
            engine::MapSlot(s.texts, engine::PrefKeyName()) = engine::PrefKeyValue();
        }
    }
}

}  // namespace

const std::string& Text(const std::string& key) {
    return engine::MapSlot(State().texts, key);
}

int32_t ScanLanguages(const std::string& source) {
    switch (KindOf(source)) {
        case SourceKind::Folder:
            return ScanFolder(source);
        case SourceKind::Archive:
            return ScanArchive(source);
        default:
            return 0;
    }
}

int32_t LoadLanguage(const std::string& source, const std::string& code) {
    if (!IsPlainFileName(code)) return 0;
    // The file the scan listed for the code, whatever the case of its
    // extension; a code no scan listed is looked for as code + ".language".
    std::string fileName = code + ".language";
    for (const Choice& choice : State().ordered) {
        if (choice.code == code) {
            fileName = choice.fileName;
            break;
        }
    }
    const SourceKind kind = KindOf(source);
    if (kind == SourceKind::Folder) {
        if (!engine::OpenPrefFile(FolderPath(source) + fileName, engine::kPrefNoLinks)) return 0;
        ReadTextsFromOpenFile();
        engine::ClosePrefFile();
        return 1;
    }
    if (kind != SourceKind::Archive) return 0;
    const std::string temp = engine::PrivateTempFolder();
    if (temp.empty()) return 0;
    const int pack = engine::OpenArchive(engine::AutoId, source, engine::kArchiveZip);
    if (!pack) return 0;
    const std::string path = temp + fileName;
    int32_t result = 0;
    if (engine::ExtractArchiveEntry(pack, path, fileName, kMaxLanguageFileSize) >= 0) {
        if (engine::OpenPrefFile(path)) {
            ReadTextsFromOpenFile();
            engine::ClosePrefFile();
            result = 1;
        }
        engine::RemoveFile(path, 2);
    }
    engine::CloseArchive(pack);
    return result;
}

int32_t LanguageCount() {
    return static_cast<int32_t>(State().ordered.size());
}

std::string LanguageCodeAt(int32_t index) {
    const auto& list = State().ordered;
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return {};
    return list[index].code;
}

std::string LanguageNameAt(int32_t index) {
    const auto& list = State().ordered;
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return {};
    return list[index].name;
}

bool HasLanguage(const std::string& code) {
    for (const Choice& choice : State().ordered) {
        if (choice.code == code) return true;
    }
    return false;
}

namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return text;
}

// The language part of a code ("pt" of "pt_BR", "sr" of "sr_Latn_RS"), in lower
// case, with the names that mean the same written language made one.
std::string LanguagePart(const std::string& code) {
    std::string language = LowerAscii(code.substr(0, code.find('_')));
    if (language == "no" || language == "nn") return "nb";  // Norwegian: Bokmål is written
    if (language == "in") return "id";                      // the old code of Indonesian
    return language;
}

// The region a language is looked for in first when the user's own region has
// no file, where it is not the language's code in capitals ("de" gives de_DE).
std::string DefaultRegion(const std::string& language) {
    static const std::pair<const char*, const char*> kDefaults[] = {
        {"en", "GB"}, {"sv", "SE"}, {"da", "DK"}, {"cs", "CZ"}, {"sl", "SI"},
        {"el", "GR"}, {"uk", "UA"}, {"ca", "ES"}, {"nb", "NO"}, {"et", "EE"}};
    for (const auto& [lang, region] : kDefaults) {
        if (language == lang) return region;
    }
    std::string region = language;
    for (char& c : region)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return region;
}

}  // namespace

std::string NearestLanguage(const std::string& code) {
    const auto& list = State().ordered;
    for (const Choice& choice : list) {
        if (choice.code == code) return code;
    }
    for (const Choice& choice : list) {
        if (LowerAscii(choice.code) == LowerAscii(code)) return choice.code;
    }
    const std::string language = LanguagePart(code);
    if (!language.empty()) {
        const std::string preferred = language + "_" + DefaultRegion(language);
        std::string other;
        for (const Choice& choice : list) {
            if (LanguagePart(choice.code) != language) continue;
            if (LowerAscii(choice.code) == LowerAscii(preferred)) return choice.code;
            if (other.empty() || choice.code < other) other = choice.code;
        }
        if (!other.empty()) return other;
    }
    return "en_GB";
}

int32_t PositionLanguageChoice(const std::string& code) {
    auto& list = State().choices;
    list.Reset();
    while (list.Next()) {
        if (list.Current()->code == code) return list.Index();
    }
    // No match: stay on the last entry, so the next step offers the first.
    list.Select(list.Size() - 1);
    return list.Index();
}

std::string NextLanguageChoice() {
    auto& list = State().choices;
    if (!list.Next() && !list.First()) return {};
    return list.Current()->code;
}

int32_t CurrentLanguageChoice() {
    return State().choices.Index();
}

std::string LocaleCodeFromName(const std::string& localeName) {
    std::string code = localeName;
    // "de_DE.UTF-8" and "de_DE@euro" name the language "de_DE".
    const size_t cut = code.find_first_of(".@");
    if (cut != std::string::npos) code.resize(cut);
    if (code == "C" || code == "POSIX") return {};
    return engine::ReplaceAll(code, "-", "_");
}

std::string UserLocaleCode() {
    if (engine::OsVersionCode() <= 65) return "en_GB";
    const std::string name = engine::UserLocaleName();
    return name.empty() ? std::string() : LocaleCodeFromName(name);
}

void ResetLanguages() {
    auto& s = State();
    s.texts.Clear();
    s.languages.Clear();
    s.choices.Clear();
    s.ordered.clear();
}

}  // namespace i18n
