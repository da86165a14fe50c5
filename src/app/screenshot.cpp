// The screenshot: the frame about to be shown, saved as a bitmap in the save
// folder under the date and time it was taken.
#include "app/log.h"
#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/system.h"

namespace app {

void SaveScreenshot() {
    const auto& m = display::metrics;
    if (!engine::CaptureScreenToSprite(0, 0, 0, m.ScreenWidth, m.ScreenHeight)) {
        LogValue("Saving screenshot:", "FAILED");
        return;
    }
    const std::string name =
        folders.SaveFolder + "Mnemora " +
        engine::FormatDateTime("%dd-%mm-%yyyy %hh-%ii-%ss", engine::CurrentDateTime()) + ".bmp";
    const int saved = engine::SaveSpriteAsBitmap(0, name, engine::kBitmapOpaque);
    LogValue("Saving screenshot:", saved ? "OK" : "FAILED");
    if (saved) engine::HandFileToPlayer(name, "image/bmp");
}

}  // namespace app
