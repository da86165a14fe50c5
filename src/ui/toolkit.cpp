// The button and panel toolkit every dialog is made of.
//
// A dialog is a panel picture with its title (and body texts) baked in, plus
// caption buttons rendered once at their display size. Texts are drawn on the
// pictures at their natural size; a finished picture then keeps only the
// pixels of its display size (on a small screen a tenth of them). Active
// pictures are the normal picture + 1, so a highlight routine only rewrites
// picture numbers.
#include "ui/toolkit.h"

#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "i18n/language.h"

namespace ui {

Dialogs dialogs;
LanguageHooks languageHooks;

std::string Text(const std::string& key) {
    if (languageHooks.text) return languageHooks.text(key);
    return i18n::Text(key);
}

void SelectFont(int32_t font) {
    engine::SetCanvasFont(engine::FontNativeHandle(font));
}

int32_t NaturalWidth(int32_t sprite) {
    return engine::SpriteDrawWidth(sprite);
}

int32_t NaturalHeight(int32_t sprite) {
    return engine::SpriteDrawHeight(sprite);
}

void RenderCaptionButton(int32_t picture, int32_t face, const std::string& key) {
    engine::DuplicateSprite(face, picture);
    // Without a canvas the button keeps a face without caption.
    if (engine::BeginCanvas(engine::SpriteCanvas(picture))) {
        engine::SetCanvasMode(engine::kCanvasTransparent | engine::kCanvasAlphaBlend);
        SelectFont(kFontCaption);
        const std::string caption = Text(key);
        const int32_t x = kCaptionCentreX - engine::MeasureTextWidth(caption) / 2;
        const int32_t y = kAnchorY - engine::MeasureTextHeight(caption) / 2;
        engine::DrawCanvasText(x, y, caption, app::colours.ColourButtonText);
    }
    // Sized before the canvas closes: it then keeps only the display size's
    // pixels, with no upload at the natural size in between.
    engine::SetSpriteSize(picture, dialogs.ButtonWidth, dialogs.ButtonHeight);
    engine::KeepSpriteAtDrawnSize(picture);
    engine::EndCanvas();
}

void RenderCaptionPair(int32_t normal, const std::string& key) {
    RenderCaptionButton(normal, kButtonFace, key);
    RenderCaptionButton(normal + 1, kButtonFaceActive, key);
}

void RenderPanel(int32_t picture, int32_t source, const std::string& titleKey,
                 const std::function<void(int32_t naturalWidth)>& body, int32_t* naturalWidth,
                 int32_t* naturalHeight) {
    engine::ReleaseSprite(picture);
    engine::DuplicateSprite(source, picture);
    // The source's size, not the copy's: a copy that failed leaves no picture
    // but the panel keeps its place and size, and so do its buttons.
    const int32_t nw = NaturalWidth(source);
    const int32_t nh = NaturalHeight(source);
    if (engine::BeginCanvas(engine::SpriteCanvas(picture))) {
        // A new canvas is in mode 0: the title's cell is filled with the band's colour.
        SelectFont(kFontTitle);
        const std::string title = Text(titleKey);
        const int32_t x = nw / 2 - engine::MeasureTextWidth(title) / 2;
        const int32_t y = kAnchorY - engine::MeasureTextHeight(title) / 2;
        engine::DrawCanvasText(x, y, title, app::colours.ColourTitleFront,
                               app::colours.ColourTitleBack);
        if (body) body(nw);
        // Kept at the size it is drawn at as the canvas closes, from the
        // canvas's own pixels: no upload at the natural size, no read-back.
        const int32_t height = ScaledPanelHeight(nh);
        engine::SetSpriteSize(picture, ScaledPanelWidth(nw, nh, height), height);
        engine::KeepSpriteAtDrawnSize(picture);
        engine::EndCanvas();
    }
    *naturalWidth = nw;
    *naturalHeight = nh;
}

int32_t ScaledPanelHeight(int32_t naturalHeight) {
    const int64_t mainHeight = NaturalHeight(kMainMenuSource);
    if (mainHeight <= 0) return 0;
    const auto half = static_cast<int64_t>(display::metrics.MainPanelHeight);
    return static_cast<int32_t>(naturalHeight * half / mainHeight);
}

int32_t ScaledPanelWidth(int32_t naturalWidth, int32_t naturalHeight, int32_t height) {
    if (naturalHeight <= 0) return 0;
    return static_cast<int32_t>(static_cast<int64_t>(naturalWidth) * height / naturalHeight);
}

void PlaceMenuColumn(Panel* panel) {
    const auto& m = display::metrics;
    panel->x = m.MenuColumnX - panel->width / 2;
    panel->y = m.PanelCentreY - panel->height / 2;
}

void PlaceCentre(Panel* panel) {
    const auto& m = display::metrics;
    panel->x = m.ScreenWidth / 2 - panel->width / 2;
    panel->y = m.ScreenHeight / 2 - panel->height / 2;
}

static Panel ScalePanel(int32_t picture, int32_t naturalWidth, int32_t naturalHeight) {
    Panel panel;
    panel.picture = picture;
    panel.height = ScaledPanelHeight(naturalHeight);
    panel.width = ScaledPanelWidth(naturalWidth, naturalHeight, panel.height);
    engine::SetSpriteSize(picture, panel.width, panel.height);
    engine::KeepSpriteAtDrawnSize(picture);
    return panel;
}

Panel ScaleMenuColumnPanel(int32_t picture, int32_t naturalWidth, int32_t naturalHeight) {
    Panel panel = ScalePanel(picture, naturalWidth, naturalHeight);
    PlaceMenuColumn(&panel);
    return panel;
}

Panel ScaleCentrePanel(int32_t picture, int32_t naturalWidth, int32_t naturalHeight) {
    Panel panel = ScalePanel(picture, naturalWidth, naturalHeight);
    PlaceCentre(&panel);
    return panel;
}

int32_t ButtonY(const Panel& panel, int32_t k, int32_t d) {
    return panel.y + static_cast<int32_t>(static_cast<int64_t>(panel.height) * k / d);
}

ButtonSlot CaptionSlot(int32_t picture, int32_t x, int32_t y) {
    // The hit rectangle is the button's display size even when its picture
    // could not be made: the button still works.
    ButtonSlot s;
    s.picture = picture;
    s.x = x;
    s.y = y;
    s.left = x;
    s.top = y;
    s.right = x + dialogs.ButtonWidth;
    s.bottom = y + dialogs.ButtonHeight;
    return s;
}

void HighlightCaptions(ButtonSet* set, const int32_t* normals, int32_t index) {
    for (int32_t i = 1; i <= set->count; ++i)
        set->slot[i].picture = normals[i - 1];
    if (index >= 1 && index <= set->count) set->slot[index].picture = normals[index - 1] + 1;
}

int32_t SlotUnder(const ButtonSet& set, int32_t x, int32_t y,
                  const std::function<bool(int32_t)>& skip) {
    for (int32_t i = 1; i <= set.count; ++i) {
        const ButtonSlot& s = set.slot[i];
        if (s.left < x && x < s.right && s.top < y && y < s.bottom) {
            // A ruled-out slot under the pointer counts as no slot at all.
            if (skip && skip(i)) return 0;
            return i;
        }
    }
    return 0;
}

void ApplyHover(ButtonSet* set, int32_t index, void (*highlight)(int32_t)) {
    if (index == set->hover) return;
    set->hover = index;
    highlight(index);
}

void DrawPanelAndSlots(const Panel& panel, const ButtonSet& set, bool opaqueButtons) {
    engine::DrawSprite(panel.picture, panel.x, panel.y);
    for (int32_t i = 1; i <= set.count; ++i) {
        const ButtonSlot& s = set.slot[i];
        if (opaqueButtons) {
            engine::DrawSpriteOpaque(s.picture, s.x, s.y);
        } else {
            engine::DrawSprite(s.picture, s.x, s.y);
        }
    }
}

void RebuildAllDialogs(bool afterLanguageChange) {
    // The main menu comes first: it fixes the button size and the panel scale.
    BuildMainMenu();
    BuildPauseMenu();
    if (!afterLanguageChange) BuildSettings();
    BuildCredits();
    BuildHelp();
    BuildQuitDialog();
    BuildLevelFinished();
    BuildLevelFailed();
    BuildGameCompleted();
    if (afterLanguageChange) BuildSettings();
}

}  // namespace ui
