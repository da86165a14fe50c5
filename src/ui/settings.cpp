// The settings screen: five rows that step the pending language, music, sound
// effects, screen mode and window size, and OK / CANCEL. Nothing takes effect
// before OK, which hands the pending values to the shell.
//
// Each row look is a picture of its own (label left, value right), so a click
// only changes a pending value and re-runs the highlight routine, which picks
// the pictures that show the pending values.
#include <algorithm>
#include <array>

#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/object_table.h"
#include "engine/system.h"
#include "i18n/language.h"
#include "ui/toolkit.h"

namespace ui {

static constexpr int32_t kRowStripWidth = 920;
static constexpr int32_t kRowK[5] = {200, 280, 360, 440, 520};

enum SettingsSlot : int32_t {
    SlotLanguage = 1,
    SlotMusic = 2,
    SlotSounds = 3,
    SlotScreenMode = 4,
    SlotResolution = 5,
    SlotOk = 6,
    SlotCancel = 7,
};

// The fixed rows: normal picture (hovered = + 1), label and value keys.
struct FixedRow {
    int32_t picture;
    const char* label;
    const char* value;
};
static constexpr FixedRow kFixedRows[] = {
    {kMusicOn, "tSettingsMUSIC", "tSettingsON"},
    {kMusicOff, "tSettingsMUSIC", "tSettingsOFF"},
    {kSoundsOn, "tSettingsSOUNDFX", "tSettingsON"},
    {kSoundsOff, "tSettingsSOUNDFX", "tSettingsOFF"},
    {kModeWindowed, "tSettingsSCREENMODE", "tSettingsWINDOWED"},
    {kModeFullscreen, "tSettingsSCREENMODE", "tSettingsFULLSCREEN"},
    {kModeBorderless, "tSettingsSCREENMODE", "tSettingsBORDERLESS"},
};

// The language choice list, through the hooks when a test set them.
static int32_t LanguageCount() {
    return languageHooks.count ? languageHooks.count() : i18n::LanguageCount();
}
static std::string LanguageNameAt(int32_t index) {
    return languageHooks.nameAt ? languageHooks.nameAt(index) : i18n::LanguageNameAt(index);
}
static int32_t CurrentLanguage() {
    return languageHooks.current ? languageHooks.current() : i18n::CurrentLanguageChoice();
}
static std::string NextLanguage() {
    return languageHooks.next ? languageHooks.next() : i18n::NextLanguageChoice();
}
static int32_t PositionLanguage(const std::string& code) {
    return languageHooks.position ? languageHooks.position(code)
                                  : i18n::PositionLanguageChoice(code);
}

// One row picture: a copy of the blank strip with the label at the left and
// the value at the right edge, scaled to the row size. `number` is a fixed
// picture number or AutoId; returns the picture (engine::NoObject when an
// automatically numbered one could not be made).
static int32_t RenderRow(int32_t number, const std::string& label, const std::string& value,
                         uint32_t colour) {
    const int32_t made = engine::DuplicateSprite(kRowStrip, number);
    if (made == 0) return number == engine::AutoId ? engine::NoObject : number;
    const int32_t picture = number == engine::AutoId ? made : number;
    if (engine::BeginCanvas(engine::SpriteCanvas(picture))) {
        const uint32_t back = app::colours.ColourPanel;
        engine::SetCanvasMode(engine::kCanvasTransparent | engine::kCanvasAlphaBlend);
        SelectFont(kFontSettings);
        engine::DrawCanvasText(0, 0, label, colour, back);
        engine::DrawCanvasText(kRowStripWidth - engine::MeasureTextWidth(value), 0, value, colour,
                               back);
    }
    // Sized before the canvas closes, as the caption buttons are.
    engine::SetSpriteSize(picture, dialogs.RowW, dialogs.RowH);
    engine::KeepSpriteAtDrawnSize(picture);
    engine::EndCanvas();
    return picture;
}

static void ReleaseRowPictures() {
    auto& rows = dialogs.settingsRows;
    for (auto& looks : rows.resolution) {
        for (auto& picture : looks) {
            engine::ReleaseSprite(picture);
            picture = engine::NoObject;
        }
    }
    for (auto& looks : rows.language) {
        for (auto& picture : looks)
            engine::ReleaseSprite(picture);
    }
    rows.language.clear();
}

// The looks of one window size's row or of one language's row (normal,
// hovered, and for a size disabled), made the first time the screen shows
// them: most players never step through the 29 languages, and start-up would
// otherwise draw some eighty rows nobody sees. Looks that could not all be
// made are made again the next time.
template <size_t N>
static const std::array<int32_t, N>& MadeRow(std::array<int32_t, N>& looks, const char* labelKey,
                                             const std::string& value) {
    if (std::find(looks.begin(), looks.end(), engine::NoObject) == looks.end()) return looks;
    const auto& c = app::colours;
    const uint32_t colours[3] = {c.ColourSettingsGreen, c.ColourSettingsOrange,
                                 c.ColourSettingsLight};
    const std::string label = Text(labelKey);
    for (size_t i = 0; i < N; ++i) {
        engine::ReleaseSprite(looks[i]);
        looks[i] = RenderRow(engine::AutoId, label, value, colours[i]);
    }
    return looks;
}

void BuildSettings() {
    auto& d = dialogs;
    const auto& c = app::colours;
    int32_t nw = 0, nh = 0;
    RenderPanel(kSettingsPanel, kSettingsSource, "tSettingsTITLE", {}, &nw, &nh);
    d.settings = ScaleMenuColumnPanel(kSettingsPanel, nw, nh);
    const Panel& panel = d.settings;
    d.RowW = panel.width * 920 / 1000;
    d.RowH = d.RowW * 60 / 920;

    for (const FixedRow& row : kFixedRows) {
        const std::string label = Text(row.label);
        const std::string value = Text(row.value);
        RenderRow(row.picture, label, value, c.ColourSettingsGreen);
        RenderRow(row.picture + 1, label, value, c.ColourSettingsOrange);
    }

    // The automatically numbered rows of an earlier build would otherwise stay
    // behind for the rest of the run.
    ReleaseRowPictures();
    d.settingsRows.language.assign(static_cast<size_t>(std::max(LanguageCount(), 0)),
                                   {engine::NoObject, engine::NoObject});

    RenderCaptionPair(kOkNormal, "tSettingsOK");
    RenderCaptionPair(kCancelNormal, "tSettingsCANCEL");

    ButtonSet& set = d.settingsButtons;
    set.count = 7;
    set.hover = 0;
    const int64_t w = panel.width;
    const int32_t rowX = panel.x + static_cast<int32_t>(w * 40 / 1000);
    const int32_t hitLeft = panel.x + static_cast<int32_t>(w * 30 / 1000);
    const int32_t hitRight = panel.x + static_cast<int32_t>(w * 970 / 1000);
    for (int32_t i = 0; i < 5; ++i) {
        ButtonSlot& s = set.slot[SlotLanguage + i];
        s.x = rowX;
        s.y = ButtonY(panel, kRowK[i], 868);
        s.left = hitLeft;
        s.right = hitRight;
        s.top = s.y;
        s.bottom = s.y + d.RowH;
    }
    const int32_t buttonY = ButtonY(panel, 680, 868);
    const int32_t inset = d.ButtonWidth * 40 / 797;
    set.slot[SlotOk] = CaptionSlot(kOkNormal, panel.x + inset, buttonY);
    set.slot[SlotCancel] =
        CaptionSlot(kCancelNormal, panel.x + panel.width - d.ButtonWidth - inset, buttonY);
    HighlightSettings(0);
}

void HighlightSettings(int32_t index) {
    const auto& p = app::settings;
    auto& rows = dialogs.settingsRows;
    ButtonSet& set = dialogs.settingsButtons;

    // Without a language (or before the row pictures exist) the row stays empty.
    const int32_t language = CurrentLanguage();
    const bool hasLanguageRow =
        language >= 0 && language < static_cast<int32_t>(rows.language.size());
    set.slot[SlotLanguage].picture = engine::NoObject;
    if (hasLanguageRow) {
        const auto& looks =
            MadeRow(rows.language[static_cast<size_t>(language)], "tSettingsLANGUAGE",
                    engine::UpperCase(LanguageNameAt(language)));
        set.slot[SlotLanguage].picture = looks[index == SlotLanguage ? 1 : 0];
    }

    set.slot[SlotMusic].picture =
        (p.MusicPending == 1 ? kMusicOn : kMusicOff) + (index == SlotMusic ? 1 : 0);
    set.slot[SlotSounds].picture =
        (p.SoundsPending == 1 ? kSoundsOn : kSoundsOff) + (index == SlotSounds ? 1 : 0);
    const int32_t modePicture = p.ScreenModePending == 1   ? kModeWindowed
                                : p.ScreenModePending == 2 ? kModeBorderless
                                                           : kModeFullscreen;
    set.slot[SlotScreenMode].picture = modePicture + (index == SlotScreenMode ? 1 : 0);

    const int32_t size = display::ClampResolution(p.ResolutionPending);
    const auto& resolution = MadeRow(rows.resolution[static_cast<size_t>(size)],
                                     "tSettingsRESOLUTION", display::ResolutionList()[size]);
    int32_t look = index == SlotResolution ? 1 : 0;
    // Outside windowed mode the window size does not apply: its row is disabled.
    if (p.ScreenModePending != 1) look = 2;
    set.slot[SlotResolution].picture = resolution[look];

    set.slot[SlotOk].picture = kOkNormal + (index == SlotOk ? 1 : 0);
    set.slot[SlotCancel].picture = kCancelNormal + (index == SlotCancel ? 1 : 0);
}

void EnterSettings() {
    auto& p = app::settings;
    p.LanguagePending = p.Language;
    p.MusicPending = p.Music;
    p.SoundsPending = p.Sounds;
    p.ScreenModePending = p.GameScreen;
    p.ResolutionPending = p.Resolution;
    PositionLanguage(p.Language);
    EnterScreen(app::Settings);
}

void LeaveSettings() {
    // The pending values are simply dropped: the next entry copies them afresh.
    dialogs.settingsButtons.hover = 0;
    GoToMainMenu();
}

void ClickSettings(int32_t index) {
    auto& p = app::settings;
    const int32_t hover = dialogs.settingsButtons.hover;
    switch (index) {
        case SlotLanguage:
            if (dialogs.settingsRows.language.empty()) return;
            p.LanguagePending = NextLanguage();
            break;
        // A stored value other than 0 or 1 counts as off, so one click turns it on.
        case SlotMusic:
            p.MusicPending = p.MusicPending == 1 ? 0 : 1;
            break;
        case SlotSounds:
            p.SoundsPending = p.SoundsPending == 1 ? 0 : 1;
            break;
        case SlotScreenMode:
            p.ScreenModePending = p.ScreenModePending == 0 ? 1 : p.ScreenModePending == 1 ? 2 : 0;
            break;
        case SlotResolution:
            if (p.ScreenModePending != 1) return;
            p.ResolutionPending =
                (p.ResolutionPending < 0 || p.ResolutionPending >= display::kResolutionCount - 1)
                    ? 0
                    : p.ResolutionPending + 1;
            break;
        case SlotOk:
            // 1: the display was reopened and the shell slides the menu in itself.
            if (app::ApplyPendingSettings() == 0) {
                dialogs.settingsButtons.hover = 0;
                GoToMainMenu();
            }
            return;
        case SlotCancel:
            LeaveSettings();
            return;
        default:
            return;
    }
    HighlightSettings(hover);
}

bool SettingsSlotEnabled(int32_t index) {
    if (index == SlotResolution) return app::settings.ScreenModePending == 1;
    if (index == SlotLanguage) return !dialogs.settingsRows.language.empty();
    return index >= 1 && index <= dialogs.settingsButtons.count;
}

int32_t StepSettingsRow(int32_t index, int32_t direction) {
    auto& p = app::settings;
    if (index < SlotLanguage || index > SlotResolution || !SettingsSlotEnabled(index)) return 0;
    // Forwards is a click; so is either way on the on/off rows.
    if (direction >= 0 || index == SlotMusic || index == SlotSounds) {
        ClickSettings(index);
        return 1;
    }
    switch (index) {
        case SlotLanguage: {
            // The choice list only steps forwards: once round but one.
            const int32_t count = LanguageCount();
            for (int32_t i = 0; i + 1 < count; ++i)
                p.LanguagePending = NextLanguage();
            break;
        }
        case SlotScreenMode:
            p.ScreenModePending = p.ScreenModePending == 0 ? 2 : p.ScreenModePending == 1 ? 0 : 1;
            break;
        case SlotResolution:
            p.ResolutionPending =
                (p.ResolutionPending <= 0 || p.ResolutionPending >= display::kResolutionCount)
                    ? display::kResolutionCount - 1
                    : p.ResolutionPending - 1;
            break;
        default:
            return 0;
    }
    HighlightSettings(dialogs.settingsButtons.hover);
    return 1;
}

}  // namespace ui
