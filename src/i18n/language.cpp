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

#include <cstdlib>
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

void RebuildChoiceList() {
    auto& s = State();
    s.choices.Clear();
    s.ordered.clear();
    engine::MapRewind(s.languages);
    while (engine::MapAdvance(s.languages)) {
        const LanguageRecord& record = engine::MapValue(s.languages);
        s.choices.Add(Choice{record.code, record.name, record.fileName});
        s.ordered.push_back(Choice{record.code, record.name, record.fileName});
    }
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
