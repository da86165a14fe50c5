// Stand-ins for the menus and dialogs until they are built, so the other
// subsystems link. The menus work replaces this file.
#include "ui/ui.h"

namespace ui {
Dialogs dialogs;
void BuildMainMenu() {}
void BuildSettings() {}
void BuildHelp() {}
void BuildCredits() {}
void BuildPauseMenu() {}
void BuildQuitDialog() {}
void BuildLevelFinished() {}
void BuildLevelFailed() {}
void BuildGameCompleted() {}
void RebuildAllDialogs(bool) {}
void HighlightMainMenu(int32_t) {}
void HighlightSettings(int32_t) {}
void HighlightHelp(int32_t) {}
void HighlightCredits(int32_t) {}
void HighlightQuit(int32_t) {}
void HighlightLeaveConfirm(int32_t) {}
void HighlightPauseMenu(int32_t) {}
void HighlightLevelFinished(int32_t) {}
void HighlightLevelFailed(int32_t) {}
void HighlightGameCompleted(int32_t) {}
void GoToMainMenu() {}
void EnterSettings() {}
void EnterPauseMenu() {}
void EnterLevelFinished() {}
void EnterLevelFailed() {}
void EnterGameCompleted() {}
void DrawDialogScreen(int32_t) {}
void HoverDialog(int32_t, int32_t, int32_t) {}
void ClickDialog(int32_t) {}
void EscapeDialog(int32_t) {}
int32_t DrawMarkupText(const MarkupTarget&, int32_t, int32_t y, int32_t, int32_t,
                       const std::string&, uint32_t, uint32_t) {
    return y;
}
}  // namespace ui
