// mnemora-check GAME_FOLDER
//
// Checks a built game folder against what the game expects of its data:
//  - every entry of the asset catalogue is in "Mnemora.data", fits the memory
//    block the game reads it into, decodes, and has its designed natural size;
//  - every language file in "Mnemora.languages/" has every key of en_GB, and
//    every character of its texts is in the game's face or its companion face
//    (the face the game draws the characters from that its own face lacks);
//  - with the real font at 96 DPI, every caption, title, credit line, dialog
//    message line and settings row fits the picture it is drawn on, the fixed
//    credits lines too, and the help text ends above the help screen's BACK
//    button.
// Prints one line per failure and exits 1 when there is any, 0 otherwise;
// with --verbose also every text measured.
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/prefs.h"
#include "engine/sound.h"
#include "engine/system.h"
#include "ui/ui.h"

namespace {

constexpr int64_t kLargeBlock = 15728640;  // font, music and effects
constexpr int64_t kBackgroundBlock = 4194304;
constexpr int64_t kPictureBlock = 204800;

int failures = 0;
int checks = 0;

void Fail(const std::string& text) {
    std::printf("FAIL %s\n", text.c_str());
    ++failures;
}

struct Picture {
    std::string name;
    int width;         // 0: any
    int height;        // 0: any
    int slackPercent;  // how far the natural size may be from the designed one
};

std::vector<Picture> Catalogue() {
    std::vector<Picture> list = {
        {"orvanta_3x2.png", 3840, 2560, 0},
        {"orvanta_4x3.png", 3840, 2880, 0},
        {"orvanta_5x4.png", 3840, 3072, 0},
        {"orvanta_16x9.png", 3840, 2160, 0},
        {"orvanta_16x10.png", 3840, 2400, 0},
        {"orvanta_17x9.png", 4080, 2160, 0},
        {"ingame_3x2.png", 3840, 2560, 0},
        {"ingame_4x3.png", 3840, 2880, 0},
        {"ingame_5x4.png", 3840, 3072, 0},
        {"ingame_16x9.png", 3840, 2160, 0},
        {"ingame_16x10.png", 3840, 2400, 0},
        {"menuback.png", 3840, 3072, 0},
        {"levelselect.png", 3840, 3072, 0},
        {"shadow.png", 0, 0, 0},
        {"pointer.png", 48, 48, 0},
        {"logo.png", 0, 0, 0},
        {"credits.png", 880, 1030, 0},
        {"quit.png", 700, 585, 10},
        {"mainmenu.png", 700, 1162, 10},
        {"ingame_menu.png", 700, 737, 10},
        {"settings.png", 1000, 868, 0},
        {"button.png", 326, 120, 0},
        {"button_active.png", 326, 120, 0},
        {"gui_pause.png", 128, 128, 0},
        {"gui_pause_active.png", 128, 128, 0},
        {"gui_clock.png", 128, 128, 0},
        {"levelselect_back.png", 128, 128, 0},
        {"levelselect_back_active.png", 128, 128, 0},
        {"level_locked.png", 160, 136, 0},
        {"level_open.png", 160, 136, 0},
        {"levelselect_arrow.png", 160, 136, 0},
        {"timeback.png", 681, 64, 0},
        {"timefront.png", 681, 64, 0},
        {"level_finished.png", 160, 136, 0},
        {"back.png", 256, 256, 0},
        {"level_focus.png", 160, 136, 0},
        {"tile_focus.png", 256, 256, 0},
    };
    for (int n = 1; n <= 20; ++n) {
        list.push_back(
            {"blue" + engine::PadLeft(engine::IntToText(n), 2, "0") + ".png", 256, 256, 0});
    }
    return list;
}

bool IsBackground(const std::string& name) {
    if (name == "ingame_menu.png") return false;  // a panel, not a game background
    for (const char* prefix : {"orvanta_", "ingame_", "menuback", "levelselect."}) {
        if (name.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Reads an entry into a block of the size the game uses; empty on failure.
std::vector<uint8_t> ReadEntry(int pack, const std::string& name, int64_t block) {
    std::vector<uint8_t> bytes(static_cast<size_t>(block));
    int64_t got = engine::ReadArchiveEntry(pack, bytes.data(), block, name);
    if (got < 0) return {};
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}

bool Within(int actual, int designed, int slackPercent) {
    if (designed == 0) return true;
    int slack = designed * slackPercent / 100;
    return actual >= designed - slack && actual <= designed + slack;
}

void CheckPictures(int pack) {
    for (const Picture& p : Catalogue()) {
        ++checks;
        int64_t block = IsBackground(p.name) ? kBackgroundBlock : kPictureBlock;
        std::vector<uint8_t> bytes = ReadEntry(pack, p.name, block);
        if (bytes.empty()) {
            Fail(p.name + ": missing from the pack or larger than its " + engine::IntToText(block) +
                 "-byte block");
            continue;
        }
        int image = engine::DecodeImageSized(engine::AutoId, bytes.data(),
                                             static_cast<int64_t>(bytes.size()));
        if (!image) {
            Fail(p.name + ": does not decode as a picture");
            continue;
        }
        int w = engine::ImagePixelWidth(image), h = engine::ImagePixelHeight(image);
        engine::ReleaseImage(image);
        if (!Within(w, p.width, p.slackPercent) || !Within(h, p.height, p.slackPercent)) {
            Fail(p.name + ": natural size " + engine::IntToText(w) + " x " + engine::IntToText(h) +
                 ", designed " + engine::IntToText(p.width) + " x " + engine::IntToText(p.height));
        }
        if (p.name == "logo.png" && (h == 0 || w * 10 < h * 20 || w * 10 > h * 26)) {
            Fail("logo.png: proportions " + engine::IntToText(w) + " x " + engine::IntToText(h) +
                 " are not about 2.3 : 1");
        }
    }
}

void CheckSounds(int pack) {
    const char* names[] = {"music0.ogg",
                           "music1.ogg",
                           "music2.ogg",
                           "music3.ogg",
                           "music_kids_play_loop_01.ogg",
                           "chime_tinkle_wood_bell_positive_04.ogg",
                           "beep_funny_scanning_targeting_02.ogg",
                           "music_kids_play_loop_02.ogg",
                           "ui_menu_popup_02.ogg"};
    for (const char* name : names) {
        ++checks;
        std::vector<uint8_t> bytes = ReadEntry(pack, name, kLargeBlock);
        if (bytes.empty()) {
            Fail(std::string(name) + ": missing from the pack or larger than its block");
            continue;
        }
        int sound =
            engine::DecodeSound(engine::AutoId, bytes.data(), static_cast<int64_t>(bytes.size()));
        if (!sound) Fail(std::string(name) + ": does not decode as a sound");
        engine::ReleaseSound(sound);
    }
}

using Texts = std::map<std::string, std::string>;

Texts ReadLanguage(const std::string& path) {
    Texts texts;
    if (!engine::OpenPrefFile(path)) return texts;
    engine::ListPrefGroups();
    while (engine::NextPrefGroup()) {
        engine::ListPrefKeys();
        while (engine::NextPrefKey())
            texts[engine::PrefKeyName()] = engine::PrefKeyValue();
    }
    engine::ClosePrefFile();
    return texts;
}

// The eight fonts at the sizes the game draws with.
struct Fonts {
    int caption = 0, title = 0, credits = 0, settings = 0, help = 0, message = 0;
};

int Width(int font, const std::string& text) {
    engine::SetCanvasFont(engine::FontNativeHandle(font));
    return engine::MeasureTextWidth(text);
}

bool verbose = false;

void CheckFits(const std::string& where, int font, const std::string& text, int limit) {
    ++checks;
    int width = Width(font, text);
    if (verbose) {
        std::printf("%s: \"%s\" %d px, limit %d\n", where.c_str(), text.c_str(), width, limit);
    }
    if (width >= limit) {
        Fail(where + ": \"" + text + "\" is " + engine::IntToText(width) + " px wide, limit " +
             engine::IntToText(limit));
    }
}

// A credits line on the 880-pixel credits panel, with a margin at each side.
constexpr int kCreditsLineLimit = 880 - 2 * 10;

// The credits' fixed lines are the same in every language: once, with the
// font's characters checked too.
void CheckCreditsFixedLines(const Fonts& f) {
    for (const std::string& line : ui::CreditsFixedLines()) {
        ++checks;
        if (uint32_t missing = engine::FirstMissingCharacter(f.credits, line)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", missing);
            Fail("credits fixed line \"" + line + "\" uses " + hex + ", which neither face has");
        }
        CheckFits("credits fixed line", f.credits, line, kCreditsLineLimit);
    }
}

void CheckLanguage(const std::string& code, const Texts& texts, const Texts& english,
                   const std::vector<std::string>& languageNames, const Fonts& f, int fontId) {
    for (const auto& [key, value] : english) {
        ++checks;
        if (!texts.count(key)) Fail(code + ": key " + key + " is missing");
    }
    for (const auto& [key, value] : texts) {
        ++checks;
        uint32_t missing = engine::FirstMissingCharacter(fontId, value);
        if (missing) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", missing);
            Fail(code + ": " + key + " uses " + hex + ", which neither face has");
        }
    }
    auto text = [&](const std::string& key) {
        auto it = texts.find(key);
        return it == texts.end() ? std::string() : it->second;
    };

    // Captions on the 326-pixel button face, with a margin at each side.
    for (const char* key :
         {"tMenuSTART", "tMenuSETTINGS", "tMenuHELP", "tMenuCREDITS", "tMenuQUIT", "tSettingsOK",
          "tSettingsCANCEL", "tHelpBACK", "tCreditsBACK", "tQuitYES", "tQuitNO", "tInGameRESUME",
          "tInGameRESTART", "tInGameQUIT", "tLevelFinishedNEXT", "tLevelFinishedMENU",
          "tLevelFailedRETRY", "tLevelFailedMENU", "tCompletedMENU"}) {
        CheckFits(code + " caption " + key, f.caption, text(key), 326 - 2 * 12);
    }
    // Titles in the band of their panel.
    const std::pair<const char*, int> titles[] = {
        {"tMenuTITLE", 700},           {"tSettingsTITLE", 1000},    {"tHelpTITLE", 880},
        {"tCreditsTITLE", 880},        {"tQuitTITLE", 700},         {"tInGameTITLE", 700},
        {"tLevelFinishedTITLE", 1000}, {"tLevelFailedTITLE", 1000}, {"tCompletedTITLE", 1000}};
    for (const auto& [key, panelWidth] : titles) {
        CheckFits(code + " title " + key, f.title, text(key), panelWidth - 2 * 20);
    }
    // Credit role lines on the 880-pixel credits panel.
    for (const char* key :
         {"tCreditsCODEDESIGN", "tCreditsGFX", "tCreditsMUSIC", "tCreditsSFX", "tCreditsFONT"}) {
        CheckFits(code + " credits " + key, f.credits, text(key), kCreditsLineLimit);
    }
    // The two message lines of the result dialogs on the 1000-pixel panel.
    for (const char* key : {"tLevelFinishedTEXT", "tLevelFailedTEXT", "tCompletedTEXT"}) {
        for (int field = 1; field <= 2; ++field) {
            CheckFits(code + " message " + key, f.message,
                      engine::SplitField(text(key), field, "|"), 1000 - 2 * 20);
        }
    }
    // Settings rows: label on the left, value right-aligned, on a 920-pixel row.
    std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
        {"tSettingsMUSIC", {text("tSettingsON"), text("tSettingsOFF")}},
        {"tSettingsSOUNDFX", {text("tSettingsON"), text("tSettingsOFF")}},
        {"tSettingsSCREENMODE",
         {text("tSettingsFULLSCREEN"), text("tSettingsWINDOWED"), text("tSettingsBORDERLESS")}},
        {"tSettingsRESOLUTION", {"3840x2160", "1024x576"}},
        // The language row offers every language by its own name, in capitals.
        {"tSettingsLANGUAGE", languageNames},
    };
    for (const auto& [label, values] : rows) {
        for (const std::string& value : values) {
            ++checks;
            int width = Width(f.settings, text(label)) + Width(f.settings, value);
            if (width > 920 - 24) {
                Fail(code + " settings row " + label + ": \"" + text(label) + "\" and \"" + value +
                     "\" need " + engine::IntToText(width) + " px of 920");
            }
        }
    }
    // The help text, laid out as the help screen does, ends above BACK (y 860).
    ++checks;
    ui::MarkupTarget target;
    target.measure = [&](const std::string& s) { return Width(f.help, s); };
    target.draw = [&](int32_t x, int32_t, const std::string& s, uint32_t) {
        return x + Width(f.help, s);
    };
    int32_t lastLine = ui::DrawMarkupText(target, 40, 180, 840, 48, text("tHelpTEXT"), 0, 0);
    if (lastLine + 48 > 860) {
        Fail(code + " help text: its last line ends at y " + engine::IntToText(lastLine + 48) +
             ", below the BACK button at 860");
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --verbose: one line per text measured, with its width and limit.
    verbose = argc == 3 && std::string(argv[1]) == "--verbose";
    if (argc != 2 && !verbose) {
        std::fprintf(stderr, "usage: mnemora-check [--verbose] GAME_FOLDER\n");
        return 2;
    }
    std::string folder = argv[argc - 1];
    if (!folder.empty() && folder.back() != '/') folder += '/';

    int pack = engine::OpenArchive(engine::AutoId, folder + "Mnemora.data", 4);
    if (!pack) {
        Fail(folder + "Mnemora.data: cannot be opened as a data pack");
        return 1;
    }
    CheckPictures(pack);
    engine::StartAudio();
    CheckSounds(pack);

    // The game's face and its companion, registered from files in the order
    // the game registers them.
    for (const char* name : {"TitanOne-Regular.ttf", "MPlusRounded1c-Black.ttf"}) {
        ++checks;
        std::vector<uint8_t> font = ReadEntry(pack, name, kLargeBlock);
        std::string fontFile = engine::TempFolder() + name;
        int file = font.empty() ? 0 : engine::NewFile(engine::AutoId, fontFile);
        if (file) {
            engine::WriteBytes(file, font.data(), static_cast<int64_t>(font.size()));
            engine::CloseFileObject(file);
        }
        if (!file || !engine::InstallPrivateFont(fontFile)) {
            Fail(std::string(name) + ": missing from the pack or not a font");
            return 1;
        }
        engine::RemoveFile(fontFile, 2);
    }
    engine::CloseArchive(pack);
    engine::SetFontDpi(96);
    Fonts f;
    f.caption = engine::LoadFontFace(engine::AutoId, "Titan One", 30, 16);
    f.title = engine::LoadFontFace(engine::AutoId, "Titan One", 40, 16);
    f.credits = engine::LoadFontFace(engine::AutoId, "Titan One", 26, 16);
    f.settings = engine::LoadFontFace(engine::AutoId, "Titan One", 33, 16);
    f.help = engine::LoadFontFace(engine::AutoId, "Titan One", 26, 16);
    f.message = engine::LoadFontFace(engine::AutoId, "Titan One", 50, 16);

    // Measuring needs a canvas: a small sprite on a display.
    engine::InitSpriteSystem();
    if (!engine::OpenAppWindow(0, 0, 0, 64, 64, "mnemora-check", 0x10CA0001) ||
        !engine::OpenDisplayInWindow(engine::NativeWindowHandle(0), 0, 0, 64, 64, 0, 0, 0, 0) ||
        !engine::CreateBlankSprite(1, 8, 8) || !engine::BeginCanvas(engine::SpriteCanvas(1))) {
        Fail("cannot open a display to measure texts (set SDL_VIDEODRIVER=dummy)");
        return 1;
    }

    CheckCreditsFixedLines(f);
    std::string languages = folder + "Mnemora.languages/";
    Texts english = ReadLanguage(languages + "en_GB.language");
    if (english.empty()) Fail("en_GB.language: missing or empty");
    std::map<std::string, Texts> files;
    int scan = engine::ScanFolder(engine::AutoId, languages, "*.language");
    while (scan && engine::NextFolderEntry(scan)) {
        std::string name = engine::FolderEntryName(scan);
        files[engine::FileNamePart(name, 1)] = ReadLanguage(languages + name);
    }
    engine::EndFolderScan(scan);
    std::vector<std::string> languageNames;
    for (const auto& [code, texts] : files) {
        auto name = texts.find("tLangFileNAME");
        languageNames.push_back(engine::UpperCase(name == texts.end() ? "" : name->second));
    }
    for (const auto& [code, texts] : files)
        CheckLanguage(code, texts, english, languageNames, f, f.caption);
    if (files.empty()) Fail(languages + ": no language files");

    engine::EndCanvas();
    engine::CloseDisplay();
    std::printf("mnemora-check: %d checks, %d failures\n", checks, failures);
    return failures ? 1 : 0;
}
