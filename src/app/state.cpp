#include "app/state.h"

#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/input.h"

namespace app {

LoopState loop;
SettingsState settings;
Folders folders;
Colours colours;

void InitColours() {
    auto& c = colours;
    c.ColourPanel = engine::PackRGB(234, 221, 199);
    c.ColourButtonText = engine::PackRGBA(255, 255, 255, 255);
    c.ColourTitleFront = engine::PackRGB(255, 255, 255);
    c.ColourTitleBack = engine::PackRGB(0, 167, 157);
    c.ColourDialogText = engine::PackRGBA(100, 176, 38, 255);
    c.ColourSettingsGreen = engine::PackRGBA(100, 176, 38, 255);
    c.ColourSettingsOrange = engine::PackRGBA(246, 130, 52, 255);
    c.ColourSettingsLight = engine::PackRGBA(161, 223, 110, 255);
    c.ColourHelpOrange = engine::PackRGBA(246, 130, 52, 255);
}

int32_t PointerX() {
    return settings.GameScreen == 0 ? engine::CursorX() : engine::WindowCursorX(0);
}

int32_t PointerY() {
    return settings.GameScreen == 0 ? engine::CursorY() : engine::WindowCursorY(0);
}

}  // namespace app
