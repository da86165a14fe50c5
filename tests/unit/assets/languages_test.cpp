// Checks the shipped language files in assets/languages/: their file form, their keys,
// the markup of the long texts, the characters the game font can draw, and a coarse
// estimate of whether each text fits the space it is drawn into.
//
// The files are read by a small reader of their own here (groups, "key = value",
// comments), so that this check stands apart from the game's preference reader.
// The width estimates use average Titan One advances (about 0.62 em for lower case,
// 0.72 em for capitals) at 96 DPI; the exact measurement with the real font is done by
// the content checker against the built game folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every key the game looks up, in the order of its screens.
const std::vector<std::string> kGameKeys = {"tMenuTITLE",
                                            "tMenuSTART",
                                            "tMenuSETTINGS",
                                            "tMenuHELP",
                                            "tMenuCREDITS",
                                            "tMenuQUIT",
                                            "tSettingsTITLE",
                                            "tSettingsLANGUAGE",
                                            "tSettingsMUSIC",
                                            "tSettingsSOUNDFX",
                                            "tSettingsSCREENMODE",
                                            "tSettingsRESOLUTION",
                                            "tSettingsFULLSCREEN",
                                            "tSettingsWINDOWED",
                                            "tSettingsBORDERLESS",
                                            "tSettingsON",
                                            "tSettingsOFF",
                                            "tSettingsOK",
                                            "tSettingsCANCEL",
                                            "tHelpTITLE",
                                            "tHelpTEXT",
                                            "tHelpBACK",
                                            "tCreditsTITLE",
                                            "tCreditsCODEDESIGN",
                                            "tCreditsGFX",
                                            "tCreditsMUSIC",
                                            "tCreditsSFX",
                                            "tCreditsFONT",
                                            "tCreditsBACK",
                                            "tQuitTITLE",
                                            "tQuitYES",
                                            "tQuitNO",
                                            "tInGameTITLE",
                                            "tInGameRESUME",
                                            "tInGameRESTART",
                                            "tInGameQUIT",
                                            "tLevelFinishedTITLE",
                                            "tLevelFinishedTEXT",
                                            "tLevelFinishedNEXT",
                                            "tLevelFinishedMENU",
                                            "tLevelFailedTITLE",
                                            "tLevelFailedTEXT",
                                            "tLevelFailedRETRY",
                                            "tLevelFailedMENU",
                                            "tCompletedTITLE",
                                            "tCompletedTEXT",
                                            "tCompletedMENU",
                                            "tErrorERROR",
                                            "tErrorSUBSYSTEM",
                                            "tErrorSCREEN",
                                            "tErrorASSET"};

const char* const kHeaderGroup = "LANGUAGE FILE";
const std::vector<std::string> kHeaderKeys = {"tLangFileNAME",   "tLangFileVERSION",
                                              "tLangFileDATE",   "tLangFileAUTHOR",
                                              "tLangFileLANGID", "tLangFileSOFTWARE"};

const std::vector<std::string> kShippedCodes = {
    "en_GB", "de_DE", "fr_FR", "es_ES", "it_IT", "nl_NL", "pt_PT", "sv_SE", "pl_PL", "cs_CZ",
    "sk_SK", "hu_HU", "ro_RO", "tr_TR", "hr_HR", "sl_SI", "da_DK", "nb_NO", "fi_FI", "et_EE",
    "lt_LT", "lv_LV", "ca_ES", "pt_BR", "ru_RU", "uk_UA", "bg_BG", "el_GR", "id_ID"};

// The result dialogs draw the text before and after "|" as their two message lines.
const std::vector<std::string> kMessageKeys = {"tLevelFinishedTEXT", "tLevelFailedTEXT",
                                               "tCompletedTEXT"};

// ---------------------------------------------------------------------------------------
// Reading the files

struct Entry {
    std::string group;  // empty for keys before the first group header
    bool in_group = false;
    std::string key;
    std::string value;
    int line = 0;
};

struct LanguageFile {
    std::string code;
    std::string bytes;
    std::vector<Entry> entries;
    std::vector<std::string> groups;
    std::map<std::string, std::string> text;  // the text table this file yields
};

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Parses the preference form: lines of groups "[name]", comments ";", and keys
// "key = value"; the byte-order mark is skipped.
LanguageFile Parse(const std::string& code, const std::string& bytes) {
    LanguageFile file;
    file.code = code;
    file.bytes = bytes;
    std::string body = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
    std::string group;
    bool in_group = false;
    int number = 0;
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(pos, end - pos);
        ++number;
        // One CR LF pair ends a line; other runs are counted as further (empty) lines.
        pos = end + ((end + 1 < body.size() && body[end] == '\r' && body[end + 1] == '\n') ? 2 : 1);
        std::string text = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
        if (text.empty() || text[0] == ';') continue;
        if (text[0] == '[') {
            size_t close = text.find(']');
            group = close == std::string::npos ? text.substr(1) : text.substr(1, close - 1);
            in_group = true;
            file.groups.push_back(group);
            continue;
        }
        Entry entry;
        entry.group = group;
        entry.in_group = in_group;
        entry.line = number;
        size_t eq = text.find('=');
        entry.key = Trim(text.substr(0, eq));
        entry.value = eq == std::string::npos ? "" : Trim(text.substr(eq + 1));
        file.entries.push_back(entry);
        if (in_group) file.text[entry.key] = entry.value;
    }
    return file;
}

fs::path LanguageFolder() {
    const char* source = std::getenv("MNEMORA_SOURCE_DIR");
    return fs::path(source ? source : ".") / "assets" / "languages";
}

const std::vector<LanguageFile>& Files() {
    static const std::vector<LanguageFile> files = [] {
        std::vector<LanguageFile> out;
        std::vector<fs::path> paths;
        std::error_code ec;
        for (const auto& item : fs::directory_iterator(LanguageFolder(), ec))
            if (item.path().extension() == ".language") paths.push_back(item.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream buffer;
            buffer << in.rdbuf();
            out.push_back(Parse(path.stem().string(), buffer.str()));
        }
        return out;
    }();
    return files;
}

const LanguageFile* FindFile(const std::string& code) {
    for (const auto& file : Files())
        if (file.code == code) return &file;
    return nullptr;
}

// The text of a key as the game reads it: the empty string when the key is missing.
std::string Text(const LanguageFile& file, const std::string& key) {
    auto it = file.text.find(key);
    return it == file.text.end() ? std::string() : it->second;
}

// ---------------------------------------------------------------------------------------
// Characters

// Decodes UTF-8; returns false on a malformed or overlong sequence.
bool Decode(const std::string& s, std::vector<char32_t>& out) {
    out.clear();
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        if (extra < 0 || s.size() - i <= static_cast<size_t>(extra)) return false;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char cont = static_cast<unsigned char>(s[i + k]);
            if ((cont & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cont & 0x3F);
        }
        static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF) return false;
        out.push_back(cp);
        i += extra + 1;
    }
    return true;
}

// Latin-1 and Latin Extended-A/B (Titan One, and the companion face for the
// letters it lacks), the Greek and Cyrillic letters (the companion face), less
// controls, the no-break space and the soft hyphen, which neither face draws.
bool Drawable(char32_t cp) {
    if (cp >= 0x20 && cp <= 0x7E) return true;
    if (cp >= 0xA1 && cp <= 0x24F) return cp != 0xAD;
    if (cp >= 0x0386 && cp <= 0x03CE) return cp != 0x0387 && cp != 0x038B && cp != 0x038D;
    return (cp >= 0x0400 && cp <= 0x045F) || cp == 0x0490 || cp == 0x0491;
}

std::string Hex(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

// ---------------------------------------------------------------------------------------
// Width estimates

bool IsCapital(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return true;
    if (cp >= 0x0386 && cp <= 0x03AB) return true;  // Greek
    if (cp >= 0x0400 && cp <= 0x042F) return true;  // Cyrillic
    if (cp >= 0xC0 && cp <= 0xDE) return cp != 0xD7;
    if ((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) return cp % 2 == 0;
    if (cp >= 0x139 && cp <= 0x148) return cp % 2 == 1;
    return cp == 0x178 || cp == 0x179 || cp == 0x17B || cp == 0x17D;
}

bool IsLetter(char32_t cp) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
           (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) ||
           (cp >= 0x0386 && cp <= 0x03CE) || (cp >= 0x0400 && cp <= 0x045F);
}

// The narrow letters: I, J, i, j, l and their accented forms (about 0.35 to
// 0.46 em in Titan One).
bool IsNarrow(char32_t cp) {
    return std::u32string(
               U"IJijl\u00CC\u00CD\u00CE\u00CF\u00EC\u00ED\u00EE\u00EF\u0128\u0129"
               U"\u012A\u012B\u012C\u012D\u012E\u012F\u0130\u0131\u0134\u0135"
               U"\u013A\u013C\u013E\u0140\u0142")
               .find(cp) != std::u32string::npos;
}

double AdvanceFactor(char32_t cp) {
    if (IsNarrow(cp)) return 0.45;
    if (IsCapital(cp)) return 0.72;
    if (IsLetter(cp) || (cp >= '0' && cp <= '9')) return 0.62;
    if (cp == ' ') return 0.25;
    if (std::u32string(U".,:;!'|\u00A1").find(cp) != std::u32string::npos) return 0.3;
    return 0.55;
}

// Estimated drawn width in pixels of a text in a face whose em is em_px pixels.
double Estimate(const std::string& text, double em_px) {
    std::vector<char32_t> cps;
    Decode(text, cps);
    double width = 0;
    for (char32_t cp : cps)
        width += AdvanceFactor(cp) * em_px;
    return width;
}

// Pixel em at 96 DPI of the game's point sizes.
constexpr double kCaptionEm = 40;  // 30 points: button captions
constexpr double kTitleEm = 53;    // 40 points: panel titles
constexpr double kRowEm = 44;      // 33 points: settings rows
constexpr double kBodyEm = 35;     // 26 points: help text and credit lines
constexpr double kMessageEm = 67;  // 50 points: result dialog messages

// Upper case of the Latin-1, Greek and Cyrillic letters, as the settings row
// shows language names.
std::string Upper(const std::string& s) {
    std::vector<char32_t> cps;
    Decode(s, cps);
    std::string out;
    for (char32_t cp : cps) {
        if ((cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)) cp -= 0x20;
        if ((cp >= 0x03B1 && cp <= 0x03CB && cp != 0x03C2) || (cp >= 0x0430 && cp <= 0x044F))
            cp -= 0x20;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool IsLineBreak(const std::string& word) {
    return word.size() > 3 && word.rfind("n{", 0) == 0 && word.back() == '}';
}

std::string Visible(std::string word) {
    for (size_t at; (at = word.find("c{")) != std::string::npos;)
        word.erase(at, 2);
    word.erase(std::remove(word.begin(), word.end(), '}'), word.end());
    return word;
}

// Lays the help text out as the help screen does (left 40, right limit 840, wrap
// before a word that would pass the limit, n{N} moves N lines down) and returns the
// number of lines used.
int HelpLines(const std::string& text) {
    double x = 40;
    int line = 0;
    for (const auto& word : Split(text, ' ')) {
        if (IsLineBreak(word)) {
            line += std::atoi(word.substr(2, word.size() - 3).c_str());
            x = 40;
            continue;
        }
        double width = Estimate(Visible(word), kBodyEm);
        if (x + width > 840) {
            x = 40;
            ++line;
        }
        x += width + Estimate(" ", kBodyEm);
    }
    return line + 1;
}

// ---------------------------------------------------------------------------------------
// Tests

TEST(LanguageFiles, ShippedSetIsComplete) {
    ASSERT_FALSE(Files().empty()) << "no language files in " << LanguageFolder();
    for (const auto& code : kShippedCodes)
        EXPECT_NE(FindFile(code), nullptr) << code;
    for (const auto& file : Files()) {
        const std::string& c = file.code;
        auto lower = [](char ch) { return ch >= 'a' && ch <= 'z'; };
        auto upper = [](char ch) { return ch >= 'A' && ch <= 'Z'; };
        bool locale = c.size() == 5 && lower(c[0]) && lower(c[1]) && c[2] == '_' && upper(c[3]) &&
                      upper(c[4]);
        EXPECT_TRUE(locale) << c << ".language is not named by a locale code like en_GB";
    }
}

TEST(LanguageFiles, FileForm) {
    for (const auto& file : Files()) {
        SCOPED_TRACE(file.code);
        const std::string& b = file.bytes;
        EXPECT_EQ(b.rfind("\xEF\xBB\xBF", 0), 0u) << "no UTF-8 byte-order mark";
        for (size_t i = 0; i < b.size(); ++i) {
            bool bare_lf = b[i] == '\n' && (i == 0 || b[i - 1] != '\r');
            bool bare_cr = b[i] == '\r' && (i + 1 == b.size() || b[i + 1] != '\n');
            if (bare_lf || bare_cr) {
                ADD_FAILURE() << "line end other than CR LF at byte " << i;
                break;
            }
        }
        EXPECT_TRUE(b.size() >= 2 && b.compare(b.size() - 2, 2, "\r\n") == 0)
            << "last line has no line end";
        std::vector<char32_t> cps;
        EXPECT_TRUE(Decode(b, cps)) << "not valid UTF-8";

        std::set<std::string> seen;
        for (const auto& entry : file.entries) {
            // Keys before the first group are never loaded into the text table.
            EXPECT_TRUE(entry.in_group)
                << "line " << entry.line << ": " << entry.key << " stands before the first group";
            // A repeated key silently replaces the earlier text.
            EXPECT_TRUE(seen.insert(entry.key).second)
                << "line " << entry.line << ": " << entry.key << " occurs twice";
            EXPECT_FALSE(entry.value.empty())
                << "line " << entry.line << ": " << entry.key << " has no text";
        }
    }
}

TEST(LanguageFiles, EnglishHasEveryGameKeyAndOthersMatchIt) {
    const LanguageFile* english = FindFile("en_GB");
    ASSERT_NE(english, nullptr);
    std::set<std::string> expected;
    for (const auto& key : kGameKeys)
        expected.insert(key);
    for (const auto& key : kHeaderKeys)
        expected.insert(key);
    std::set<std::string> reference;
    for (const auto& [key, value] : english->text)
        reference.insert(key);
    for (const auto& key : expected)
        EXPECT_EQ(reference.count(key), 1u) << "en_GB lacks " << key;
    for (const auto& key : reference)
        EXPECT_EQ(expected.count(key), 1u) << "en_GB has " << key << ", which the game never reads";

    for (const auto& file : Files()) {
        for (const auto& key : reference)
            EXPECT_EQ(file.text.count(key), 1u) << file.code << " lacks " << key;
        for (const auto& [key, value] : file.text)
            EXPECT_EQ(reference.count(key), 1u) << file.code << " has extra key " << key;
    }
}

TEST(LanguageFiles, HeaderGroupNamesTheLanguage) {
    std::map<std::string, std::string> names;
    for (const auto& file : Files()) {
        SCOPED_TRACE(file.code);
        int headers = 0;
        for (const auto& g : file.groups) {
            // Group names are compared without regard to letter case.
            std::string upper = g;
            for (auto& ch : upper)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            headers += upper == kHeaderGroup;
        }
        EXPECT_EQ(headers, 1) << "needs exactly one group \"" << kHeaderGroup << "\"";
        for (const auto& key : kHeaderKeys) {
            auto it = std::find_if(file.entries.begin(), file.entries.end(),
                                   [&](const Entry& e) { return e.key == key; });
            ASSERT_NE(it, file.entries.end()) << key;
            EXPECT_EQ(it->group, kHeaderGroup) << key << " stands outside the header group";
        }
        // The language list is keyed by display name: a repeated name hides a language.
        const std::string name = Text(file, "tLangFileNAME");
        auto [it, fresh] = names.emplace(name, file.code);
        EXPECT_TRUE(fresh) << "display name " << name << " is also used by " << it->second;
    }
}

TEST(LanguageFiles, MessagesSplitIntoTwoLines) {
    for (const auto& file : Files()) {
        for (const auto& key : kMessageKeys) {
            auto parts = Split(Text(file, key), '|');
            ASSERT_EQ(parts.size(), 2u) << file.code << " " << key << " needs exactly one \"|\"";
            for (const auto& part : parts) {
                EXPECT_FALSE(Trim(part).empty()) << file.code << " " << key << " has an empty line";
                EXPECT_EQ(Trim(part), part) << file.code << " " << key << ": blank beside \"|\"";
            }
        }
        for (const auto& [key, value] : file.text) {
            if (std::count(kMessageKeys.begin(), kMessageKeys.end(), key)) continue;
            EXPECT_EQ(value.find('|'), std::string::npos)
                << file.code << " " << key << " shows \"|\" literally";
        }
    }
}

TEST(LanguageFiles, HelpMarkupIsWellFormed) {
    for (const auto& file : Files()) {
        SCOPED_TRACE(file.code);
        const std::string text = Text(file, "tHelpTEXT");
        EXPECT_EQ(text.find("  "), std::string::npos) << "two blanks draw a double gap";
        bool open = false;
        for (const auto& word : Split(text, ' ')) {
            if (word.find("n{") != std::string::npos) {
                std::string digits = IsLineBreak(word) ? word.substr(2, word.size() - 3) : "";
                bool number =
                    !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                                   [](char ch) { return ch >= '0' && ch <= '9'; });
                EXPECT_TRUE(number && !open) << "bad line break word \"" << word << "\"";
                continue;
            }
            size_t opens = 0, closes = 0;
            for (size_t at = word.find("c{"); at != std::string::npos; at = word.find("c{", at + 2))
                ++opens;
            closes = std::count(word.begin(), word.end(), '}');
            // The renderer interprets one "c{" and one "}" per word; more are drawn as text.
            EXPECT_LE(opens, 1u) << "\"" << word << "\"";
            EXPECT_LE(closes, 1u) << "\"" << word << "\"";
            size_t at_open = word.find("c{"), at_close = word.find('}');
            if (opens && closes) {
                EXPECT_LT(at_open, at_close) << "\"" << word << "\" closes before it opens";
                EXPECT_FALSE(open) << "\"" << word << "\" opens inside a highlight";
                EXPECT_GT(at_close, at_open + 2) << "\"" << word << "\" highlights nothing";
            } else if (opens) {
                EXPECT_FALSE(open) << "\"" << word << "\" opens inside a highlight";
                open = true;
            } else if (closes) {
                EXPECT_TRUE(open) << "\"" << word << "\" closes a highlight never opened";
                open = false;
            }
        }
        EXPECT_FALSE(open) << "a highlight is still open at the end";
    }
}

TEST(LanguageFiles, HelpExplainsEveryKey) {
    // The key list shows each key highlighted at the start of its own line.
    for (const auto& file : Files()) {
        const std::string text = Text(file, "tHelpTEXT");
        for (const char* key : {"c{M}:", "c{N}:", "c{F2}:", "c{+}", "c{-}"}) {
            std::string alt = std::string(key);
            if (alt.back() == ':') alt.insert(alt.size() - 1, " ");  // French spacing
            bool found = text.find(key) != std::string::npos || text.find(alt) != std::string::npos;
            EXPECT_TRUE(found) << file.code << " help text does not explain " << key;
        }
        bool escape = text.find("c{Esc}") != std::string::npos || text.find(
                                                                      "c{\xC3\x89"
                                                                      "chap}") != std::string::npos;
        EXPECT_TRUE(escape) << file.code << " help text does not explain Escape";
    }
}

TEST(LanguageFiles, EveryCharacterIsInTheFont) {
    for (const auto& file : Files()) {
        for (const auto& [key, value] : file.text) {
            std::vector<char32_t> cps;
            if (!Decode(value, cps)) continue;  // reported by FileForm
            for (char32_t cp : cps)
                EXPECT_TRUE(Drawable(cp))
                    << file.code << " " << key << ": " << Hex(cp) << " is in neither face";
        }
    }
}

TEST(LanguageFiles, TextsFitTheirSpace) {
    const std::vector<std::string> captions = {
        "tMenuSTART",         "tMenuSETTINGS",     "tMenuHELP",
        "tMenuCREDITS",       "tMenuQUIT",         "tSettingsOK",
        "tSettingsCANCEL",    "tHelpBACK",         "tCreditsBACK",
        "tQuitYES",           "tQuitNO",           "tInGameRESUME",
        "tInGameRESTART",     "tInGameQUIT",       "tLevelFinishedNEXT",
        "tLevelFinishedMENU", "tLevelFailedRETRY", "tLevelFailedMENU",
        "tCompletedMENU"};
    // Titles stand on the panel's title band; keep 60 pixels clear at either side.
    const std::map<std::string, int> titles = {
        {"tMenuTITLE", 700},           {"tSettingsTITLE", 1000},    {"tHelpTITLE", 880},
        {"tCreditsTITLE", 880},        {"tQuitTITLE", 700},         {"tInGameTITLE", 700},
        {"tLevelFinishedTITLE", 1000}, {"tLevelFailedTITLE", 1000}, {"tCompletedTITLE", 1000}};
    const std::vector<std::string> credit_roles = {"tCreditsCODEDESIGN", "tCreditsGFX",
                                                   "tCreditsMUSIC", "tCreditsSFX", "tCreditsFONT"};
    const std::vector<std::string> resolutions = {"1024x576",  "1280x720",  "1366x768",
                                                  "1920x1080", "2048x1152", "2560x1440",
                                                  "2880x1620", "3200x1800", "3840x2160"};
    // The language row of every language shows every language's name in capitals.
    std::vector<std::string> language_names;
    for (const auto& file : Files())
        language_names.push_back(Upper(Text(file, "tLangFileNAME")));

    for (const auto& file : Files()) {
        SCOPED_TRACE(file.code);
        auto text = [&](const std::string& key) { return Text(file, key); };
        auto fits = [&](const std::string& what, const std::string& shown, double em,
                        double budget) {
            double width = Estimate(shown, em);
            EXPECT_LE(width, budget) << what << " \"" << shown << "\" is about " << int(width)
                                     << " px wide, " << budget << " px fit";
        };
        for (const auto& key : captions)
            fits(key, text(key), kCaptionEm, 300);
        for (const auto& [key, panel] : titles)
            fits(key, text(key), kTitleEm, panel - 120);
        for (const auto& key : credit_roles)
            fits(key, text(key), kBodyEm, 860);
        for (const auto& key : kMessageKeys)
            for (const auto& line : Split(text(key), '|'))
                fits(key, line, kMessageEm, 960);

        const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
            {"tSettingsMUSIC", {text("tSettingsON"), text("tSettingsOFF")}},
            {"tSettingsSOUNDFX", {text("tSettingsON"), text("tSettingsOFF")}},
            {"tSettingsSCREENMODE",
             {text("tSettingsFULLSCREEN"), text("tSettingsWINDOWED"), text("tSettingsBORDERLESS")}},
            {"tSettingsRESOLUTION", resolutions},
            {"tSettingsLANGUAGE", language_names}};
        for (const auto& [label, values] : rows)
            for (const auto& value : values)
                fits(label, text(label) + " " + value, kRowEm, 900);

        int lines = HelpLines(text("tHelpTEXT"));
        EXPECT_LE(lines, 14) << "help text takes about " << lines << " lines, 14 fit";
        for (const auto& word : Split(text("tHelpTEXT"), ' '))
            if (!IsLineBreak(word)) fits("help word", Visible(word), kBodyEm, 800);
    }
}

// The reader and the estimates above must themselves see real faults.
TEST(LanguageFileChecks, SeeFaultsInHandMadeFiles) {
    LanguageFile file = Parse("xx_XX",
                              "\xEF\xBB\xBF\r\nstray = before\r\n[LANGUAGE FILE]\r\n"
                              "tLangFileNAME=  Test  \r\n; note\r\n[Other]\r\nkey\r\n"
                              "tLangFileNAME = Again\r\n");
    ASSERT_EQ(file.entries.size(), 4u);
    EXPECT_FALSE(file.entries[0].in_group);
    EXPECT_EQ(file.entries[1].value, "Test");
    EXPECT_EQ(file.entries[2].key, "key");
    EXPECT_EQ(file.entries[2].value, "");
    EXPECT_EQ(Text(file, "tLangFileNAME"), "Again");  // the later occurrence wins
    EXPECT_EQ(file.text.count("stray"), 0u);

    std::vector<char32_t> cps;
    EXPECT_FALSE(Decode("\xC3", cps));
    EXPECT_FALSE(Decode("\xC0\xAF", cps));  // overlong "/"
    EXPECT_TRUE(Decode("\xC5\x93", cps));
    EXPECT_TRUE(Drawable(cps[0]));   // U+0153 oe ligature
    EXPECT_FALSE(Drawable(0x00A0));  // no-break space: no glyph
    EXPECT_FALSE(Drawable(0x2019));  // typographic apostrophe
    EXPECT_FALSE(Drawable(0x0531));  // Armenian: in neither face
    EXPECT_TRUE(Drawable(0x00C9));
    EXPECT_TRUE(Drawable(0x0130));  // Turkish dotted capital I, from the companion face
    EXPECT_TRUE(Drawable(0x0416));  // Cyrillic Zhe

    EXPECT_EQ(Upper("Fran\xC3\xA7"
                    "ais"),
              "FRAN\xC3\x87"
              "AIS");
    EXPECT_NEAR(Estimate("EINSTELLUNGEN", kCaptionEm), (12 * 0.72 + 0.45) * 40, 1e-9);
    EXPECT_EQ(HelpLines("a n{2} b"), 3);
    EXPECT_EQ(HelpLines(std::string(60, 'w')), 2);  // an overlong word still wraps once
    EXPECT_EQ(Visible("c{Esc}:"), "Esc:");
}

}  // namespace
