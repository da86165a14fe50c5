// Start-up and the single exit path.
//
// Start-up is one straight run: globals, folders, settings, the optional log,
// the language, the engine services, the display size, the font and sounds,
// the display, the layout, the progress file, the pictures and fonts, the
// dialogs, and finally the menu music. Every failure on the way is fatal and
// ends in one message box; nothing is retried.
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "app/shell.h"
#include "app/shell_internal.h"
#include "app/state.h"
#include "audio/audio.h"
#include "display/assets.h"
#include "display/layout.h"
#include "display/screen.h"
#include "engine/archive.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/input.h"
#include "engine/object_table.h"
#include "engine/prefs.h"
#include "engine/sound.h"
#include "engine/system.h"
#include "game/game.h"
#include "i18n/language.h"
#include "ui/ui.h"

namespace app {

namespace {

const char kSep = engine::kPathSeparator;
const std::string kSubPath = std::string("Orvanta") + kSep + "Mnemora";

// The per-user data folder + "Orvanta/Mnemora/" ("\" on Windows); "" when the
// system names none.
std::string UserFolder(const std::string& subPath) {
    const std::string base = engine::ApplicationDataFolder();
    if (base.empty()) return {};
    return base + subPath + kSep;
}

// Creates every missing level of a folder path; 1 when all were made.
int32_t CreateFolderPath(const std::string& path) {
    std::string full = path;
    if (full.empty() || full.back() != kSep) full += kSep;
    int32_t ok = 1;
    for (size_t at = full.find(kSep, 1); at != std::string::npos; at = full.find(kSep, at + 1)) {
        const std::string level = full.substr(0, at);
        if (engine::QueryFileSize(level) == -1 && !engine::MakeFolder(level)) ok = 0;
    }
    return ok;
}

[[noreturn]] void ShowSubsystemError(const std::string& suffix) {
    engine::ShowMessageBox("Mnemora::" + i18n::Text("tErrorERROR"),
                           i18n::Text("tErrorSUBSYSTEM") + suffix,
                           engine::kMessageBoxOk | engine::kMessageBoxFatal);
    EndProgram(1);
}

[[noreturn]] void ShowScreenError() {
    engine::ShowMessageBox("Mnemora::" + i18n::Text("tErrorERROR"), i18n::Text("tErrorSCREEN"),
                           engine::kMessageBoxOk | engine::kMessageBoxFatal);
    EndProgram(1);
}

const char* ScreenModeName(int32_t gameScreen) {
    switch (gameScreen) {
        case 0:
            return "Fullscreen";
        case 1:
            return "Windowed";
        case 2:
            return "Borderless";
        default:
            return nullptr;
    }
}

void ResetGlobals() {
    loop = LoopState{};
    settings = SettingsState{};
    folders = Folders{};
    display::metrics = display::Metrics{};
    i18n::ResetLanguages();
    InitColours();
    // The pending copies start as the values in force.
    auto& s = settings;
    s.MusicPending = s.Music;
    s.SoundsPending = s.Sounds;
    s.ResolutionPending = s.Resolution;
    s.ScreenModePending = s.GameScreen;
    s.LanguagePending = s.Language;
    // Game play enters the menus' screens through the menus.
    game::enterMenuScreen = &ui::EnterScreen;
}

// The folder an installed game keeps its data in, from its program's folder:
// ".../lib/games/mnemora/" gives ".../share/games/mnemora/", any other "".
std::string InstalledDataFolder(const std::string& programFolder) {
    const std::string tail = std::string("lib") + kSep + "games" + kSep + "mnemora" + kSep;
    if (programFolder.size() <= tail.size() ||
        programFolder.compare(programFolder.size() - tail.size(), tail.size(), tail) != 0 ||
        programFolder[programFolder.size() - tail.size() - 1] != kSep) {
        return {};
    }
    return programFolder.substr(0, programFolder.size() - tail.size()) + "share" + kSep + "games" +
           kSep + "mnemora" + kSep;
}

void FixFolders(const StartOptions& options) {
    auto& f = folders;
    f.GameFolder = options.gameFolder.empty() ? engine::FolderPart(engine::ExecutablePath())
                                              : options.gameFolder;
    if (!f.GameFolder.empty() && f.GameFolder.back() != kSep) f.GameFolder += kSep;
    // The installed game's data lies apart from its program, where the
    // filesystem's rules keep platform-independent files. A program folder
    // holding the data (an unpacked or portable game) is the game folder.
    const std::string shared = InstalledDataFolder(f.GameFolder);
    if (!shared.empty() && engine::QueryFileSize(f.GameFolder + "Mnemora.data") < 0 &&
        engine::QueryFileSize(shared + "Mnemora.data") >= 0) {
        f.GameFolder = shared;
        f.InstalledData = true;
    }
    f.UserDataFolder = UserFolder(kSubPath);
    f.SaveFolder = f.GameFolder;
}

// A settings file beside the program makes the installation portable: no
// user folder, no locale detection. A game folder the player cannot write to,
// or one installed under /usr/, is never portable: its settings and progress
// could not be saved there, so they go to the user folder instead.
void ReadSettings() {
    auto& f = folders;
    if (!f.InstalledData && engine::PortableFolderAllowed(f.GameFolder) &&
        LoadPreferences(f.GameFolder)) {
        return;
    }
    if (!f.UserDataFolder.empty() && engine::QueryFileSize(f.UserDataFolder) == -1) {
        CreateFolderPath(f.UserDataFolder);
    }
    LoadPreferences(f.UserDataFolder);
    f.SaveFolder = f.UserDataFolder;
    if (settings.Language.empty()) settings.Language = i18n::UserLocaleCode();
    if (settings.Language.empty()) settings.Language = "en_GB";
}

void WriteReport(const std::string& stamp) {
    LogLine(stamp);
    LogLine("");
    LogLine("[SYSTEM DETAILS]");
    LogValue("CPU Name:", engine::CpuBrandString());
    LogValue("Total CPU cores:", engine::IntToText(engine::ProcessorCount(0)));
    LogValue("Available CPU cores:", engine::IntToText(engine::ProcessorCount(1)));
    LogValue("Total physical memory:", engine::IntToText(engine::MemoryFigure(0)));
    LogValue("Free physical memory:", engine::IntToText(engine::MemoryFigure(1)));
    LogValue("Number of desktops:", engine::IntToText(engine::CountDesktops()));
    LogValue("Desktop DPI:", engine::IntToText(engine::DesktopDpi()));
    LogValue("Operating system:", engine::IntToText(engine::OsVersionCode()));
    LogLine("");
    LogLine("[GAME DETAILS]");
    LogValue("Title:", "Mnemora");
    LogValue("Family:", "Lumeo");
    LogValue("Version:", "1.0.0.0");
    LogValue("Directory:", kSubPath);
    LogValue("Bit:", sizeof(void*) == 8 ? "(x64)" : "(x86)");
    LogLine("");
    LogLine("[CODE SUBSYSTEMS]");
    LogValue("Language:", "2.0");
    LogValue("Log:", "1.2");
    LogLine("");
    LogLine("[PATHS]");
    LogValue("GameDir:", folders.GameFolder);
    LogValue("UserDir:", folders.UserDataFolder);
    LogValue("SaveTo:", folders.SaveFolder);
    LogLine("");
    LogLine("[INITIAL SETTINGS]");
    LogValue("Language:", settings.Language);
}

// Only the first argument counts, in any letter case.
void OpenLogWhenAsked() {
    if (engine::CommandArgCount() == 0) return;
    const std::string stamp =
        engine::FormatDateTime("%yyyy-%mm-%dd--%hh-%ii-%ss", engine::CurrentDateTime());
    if (engine::UpperCase(engine::NextCommandArg()) != "/LOG") return;
    OpenLog(folders.SaveFolder + "Log " + stamp + ".log", "Mnemora");
    EnableLog();
    WriteReport(stamp);
}

void WriteInitialSettings() {
    const auto& s = settings;
    if (const char* mode = ScreenModeName(s.GameScreen)) LogValue("GameScreen:", mode);
    LogValue("Music:", s.Music == 1 ? "On" : "Off");
    LogValue("ScreenMode:", engine::IntToText(s.Resolution));
    LogLine("");
}

void ChooseLanguage() {
    auto& s = settings;
    const std::string source = folders.GameFolder + "Mnemora.languages";
    i18n::ScanLanguages(source);
    LogLine("[AVAILABLE LANGUAGES]");
    for (int32_t i = 0; i < i18n::LanguageCount(); ++i) {
        LogValue("Language:", i18n::LanguageNameAt(i));
    }
    LogLine("");
    LogLine("[STARTING GAME]");
    s.Language = i18n::NearestLanguage(s.Language);
    const int32_t loaded = i18n::LoadLanguage(source, s.Language);
    LogValue("Load language (" + s.Language + "):", loaded ? "OK" : "FAILED");
}

void StartEngineServices() {
    const int sprites = engine::InitSpriteSystem();
    LogValue("InitSprite:", sprites ? "OK" : "FAILED");
    if (!sprites) ShowSubsystemError("  : Sprite");
    const int keyboard = engine::StartKeyboard();
    LogValue("InitKeyboard:", keyboard ? "OK" : "FAILED");
    if (!keyboard) ShowSubsystemError("  : Keyboard");
    const int mouse = engine::StartMouse();
    LogValue("InitMouse:", mouse ? "OK" : "FAILED");
    if (!mouse) ShowSubsystemError("  : Mouse");
    const int sound = engine::StartAudio();
    LogValue("InitSound:", sound ? "OK" : "FAILED");
    if (!sound) ShowSubsystemError("  : Sound");
}

void ShutdownEngineServices() {
    engine::StopAudio();
    engine::ReleaseSound(-1);
    engine::ClosePrefFile();
    engine::CloseArchive(-1);
    CloseLog();
    engine::CloseFileObject(-1);
    engine::CloseDisplay();
    engine::ReleaseSprite(-1);
    engine::ShutdownInput();
    engine::CloseAppWindow(-1);
    engine::EndFolderScan(-1);
    engine::ReleaseImage(-1);
    engine::ReleaseFont(-1);
    engine::ReleaseCursor(-1);
    engine::ShutdownSpriteSystem();
    engine::RemoveTempFolder();
}

}  // namespace

// Opens the display in the mode in force and lays out everything that depends
// on its size, pictures and fonts included. Shared by start-up and the reopen.
void OpenDisplayAndLoadPictures(bool readProgress) {
    if (!display::OpenGameDisplay(settings.GameScreen)) ShowScreenError();
    display::ClassifyAndLayOut();
    if (readProgress) game::LoadProgress(folders.SaveFolder);
    display::LoadPicturePass();
    display::CreateFonts();
    display::CreatePanelStrip();
    ui::RebuildAllDialogs(false);
    engine::EndLoading();
}

void StartGame(const StartOptions& options) {
    std::vector<const char*> argv{"mnemora"};
    for (const std::string& argument : options.arguments)
        argv.push_back(argument.c_str());
    engine::SetCommandArgs(static_cast<int>(argv.size()), argv.data());

    ResetGlobals();
    ResetHooks();
    FixFolders(options);
    ReadSettings();
    OpenLogWhenAsked();
    WriteInitialSettings();
    ChooseLanguage();
    StartEngineServices();
    display::ChooseDisplaySize(settings.GameScreen, settings.Resolution, true);
    display::LoadFontPass();
    display::LoadSoundPass();
    OpenDisplayAndLoadPictures(true);
    LogValue("TileSize: ", engine::IntToText(display::metrics.TileSize));

    engine::SetTargetFrameRate(60);
    engine::SetSpriteFiltering(1);
    display::ShowGameWindow(settings.GameScreen);
    audio::StartMusic(audio::MenuMusic);
    loop.ScreenState = Splash;
    DrawFirstFrame();
}

int RunGame(int argc, char** argv) {
    engine::SetCommandArgs(argc, argv);
    StartOptions options;
    for (int i = 1; i < argc; ++i)
        options.arguments.push_back(argv[i]);
    StartGame(options);
    while (RunFrame()) {
    }
    QuitAndSave();
}

void SaveAndShutdownForTests() {
    SavePreferences(folders.SaveFolder);
    game::SaveProgress(folders.SaveFolder);
    ShutdownEngineServices();
}

void QuitAndSave() {
    SavePreferences(folders.SaveFolder);
    game::SaveProgress(folders.SaveFolder);
    EndProgram(0);
}

void ShutdownForTests() {
    ShutdownEngineServices();
}

void EndProgram(int code) {
    ShutdownEngineServices();
    std::exit(code);
}

}  // namespace app
