// A display on SDL's dummy driver with the pictures and fonts the menus are
// built from, and a language table of our own, so the menu builds can run
// without the shell.
//
// Pictures come from MNEMORA_GAME_DIR's "Mnemora.data" when it holds them
// (the shipped artwork); otherwise blank sprites of the artwork's sizes stand in
// (`shipped` tells which). Texts come from the language files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/state.h"
#include "display/layout.h"
#include "engine/archive.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/object_table.h"
#include "engine/prefs.h"
#include "scratch_dir.h"
#include "ui/ui.h"

namespace uitest {

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// One language file read into a key -> text table.
inline std::map<std::string, std::string> ReadLanguage(const std::string& code) {
    std::map<std::string, std::string> table;
    for (const std::string& folder : {Env("MNEMORA_GAME_DIR") + "/Mnemora.languages/",
                                      Env("MNEMORA_SOURCE_DIR") + "/assets/languages/"}) {
        if (!engine::OpenPrefFile(folder + code + ".language")) continue;
        engine::ListPrefGroups();
        do {
            engine::ListPrefKeys();
            while (engine::NextPrefKey())
                table[engine::PrefKeyName()] = engine::PrefKeyValue();
        } while (engine::NextPrefGroup());
        engine::ClosePrefFile();
        if (!table.empty()) break;
    }
    return table;
}

// A language choice list and text table standing in for the language subsystem.
struct FakeLanguages {
    std::vector<std::pair<std::string, std::string>> list;  // code, name
    int32_t current = -1;
    std::map<std::string, std::string> texts;

    void Load(const std::string& code) { texts = ReadLanguage(code); }
    void Install() {
        ui::languageHooks.text = [this](const std::string& key) {
            auto it = texts.find(key);
            return it == texts.end() ? std::string() : it->second;
        };
        ui::languageHooks.count = [this] { return static_cast<int32_t>(list.size()); };
        ui::languageHooks.nameAt = [this](int32_t i) {
            return i >= 0 && i < static_cast<int32_t>(list.size()) ? list[i].second : "";
        };
        ui::languageHooks.current = [this] { return current; };
        ui::languageHooks.position = [this](const std::string& code) {
            current = list.empty() ? -1 : static_cast<int32_t>(list.size()) - 1;
            for (size_t i = 0; i < list.size(); ++i)
                if (list[i].first == code) current = static_cast<int32_t>(i);
            return current;
        };
        ui::languageHooks.next = [this]() -> std::string {
            if (list.empty()) return "";
            current = (current + 1) % static_cast<int32_t>(list.size());
            return list[current].first;
        };
    }
};

// The artwork the menus use: entry, sprite number, flags, stand-in size.
struct Picture {
    const char* entry;
    int number;
    int flags;
    int width, height;
};
inline constexpr Picture kPictures[] = {
    {"shadow.png", 1, engine::kSpriteKeepAlpha, 64, 64},
    {"logo.png", 3, engine::kSpriteKeepAlpha, 920, 400},
    {"credits.png", 15, engine::kSpriteKeepAlpha, 880, 1030},
    {"quit.png", 18, engine::kSpriteKeepAlpha, 700, 585},
    {"mainmenu.png", 11, engine::kSpriteKeepAlpha, 700, 1162},
    {"ingame_menu.png", 20, engine::kSpriteKeepAlpha, 700, 737},
    {"settings.png", 13, engine::kSpriteKeepAlpha, 1000, 868},
    {"button.png", 8, 0, 326, 120},
    {"button_active.png", 9, 0, 326, 120},
};

class UiTest : public ::testing::Test {
  protected:
    bool shipped = false;
    FakeLanguages languages;

    void SetUp() override {
        ASSERT_EQ(engine::InitSpriteSystem(), 1);
        app::InitColours();
        app::settings = app::SettingsState{};
        app::loop = app::LoopState{};
        // Completing the game saves the settings at once: into a folder of its own.
        static const std::string saveFolder =
            test_support::ScratchDir("mnemora-ui-").string() + "/";
        app::folders.SaveFolder = saveFolder;
        languages.Load("en_GB");
        languages.list = {{"en_GB", "English"}, {"de_DE", "Deutsch"}};
        languages.Install();
    }

    void TearDown() override {
        ui::languageHooks = ui::LanguageHooks{};
        engine::CloseDisplay();
        engine::ReleaseFont(-1);
    }

    // Opens a display of this size, loads the pictures and fonts and computes
    // the layout the builds read.
    void OpenScreen(int width, int height) {
        ASSERT_EQ(engine::OpenExclusiveDisplay(width, height, 32, "menus", 0), 1);
        auto& m = display::metrics;
        m = display::Metrics{};
        m.ScreenWidth = width;
        m.ScreenHeight = height;
        m.AspectClass = display::ClassifyAspect(width, height);
        display::ComputeLayout();
        LoadPictures();
        engine::SetSpriteSize(1, width, height);
        display::ComputeLogoLayout(engine::SpriteDrawWidth(3), engine::SpriteDrawHeight(3));
        engine::SetSpriteSize(3, display::metrics.LogoWidth, display::metrics.LogoHeight);
        // The blank settings-row strip.
        engine::CreateBlankSprite(76, 920, 60);
        if (engine::BeginCanvas(engine::SpriteCanvas(76))) {
            engine::SetCanvasMode(engine::kCanvasAlphaBlend);
            engine::FillCanvasRect(0, 0, 920, 60, app::colours.ColourPanel | 0xFF000000u);
            engine::EndCanvas();
        }
        LoadFonts();
    }

    void LoadPictures() {
        const std::string pack = Env("MNEMORA_GAME_DIR") + "/Mnemora.data";
        const int archive = engine::OpenArchive(engine::AutoId, pack, engine::kArchivePack);
        std::vector<uint8_t> buffer(16 << 20);
        int loaded = 0;
        for (const Picture& p : kPictures) {
            int64_t n = archive
                            ? engine::ReadArchiveEntry(archive, buffer.data(),
                                                       static_cast<int64_t>(buffer.size()), p.entry)
                            : -1;
            if (n > 0 && engine::SpriteFromImageDataSized(p.number, buffer.data(), n, p.flags)) {
                ++loaded;
            } else {
                engine::CreateBlankSprite(p.number, p.width, p.height);
            }
        }
        shipped = loaded == static_cast<int>(std::size(kPictures));
        // The menu background is only drawn, never measured.
        int64_t n =
            archive ? engine::ReadArchiveEntry(archive, buffer.data(),
                                               static_cast<int64_t>(buffer.size()), "menuback.png")
                    : -1;
        if (n <= 0 || !engine::SpriteFromImageDataSized(4, buffer.data(), n, 0))
            engine::CreateBlankSprite(4, 64, 64);
        engine::SetSpriteSize(4, display::metrics.ScreenWidth, display::metrics.ScreenHeight);
        // The font, installed from the pack when it is there.
        n = archive ? engine::ReadArchiveEntry(archive, buffer.data(),
                                               static_cast<int64_t>(buffer.size()),
                                               "TitanOne-Regular.ttf")
                    : -1;
        if (n > 0) {
            char name[] = "/tmp/menus-font-XXXXXX";
            const int fd = mkstemp(name);
            if (fd >= 0) {
                FILE* f = fdopen(fd, "wb");
                std::fwrite(buffer.data(), 1, static_cast<size_t>(n), f);
                std::fclose(f);
                engine::InstallPrivateFont(name);
                std::remove(name);
            }
        }
        if (archive) engine::CloseArchive(archive);
    }

    static void LoadFonts() {
        static constexpr int kSizes[8] = {30, 40, 26, 33, 26, 50, 50, 50};
        for (int font = 0; font < 8; ++font)
            engine::LoadFontFace(font, "Titan One", kSizes[font], engine::kFontHighQuality);
    }

    // The centre of a slot's hit rectangle.
    static std::pair<int, int> Inside(const ui::ButtonSlot& s) {
        return {(s.left + s.right) / 2, (s.top + s.bottom) / 2};
    }
};

}  // namespace uitest
