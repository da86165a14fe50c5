// Shared between the shell's own files.
#pragma once

namespace app {

// Opens the display in the mode in force (the screen error box when it does
// not open), lays it out, reads the progress file when asked, loads every
// picture and the fonts and builds every dialog.
void OpenDisplayAndLoadPictures(bool readProgress);

}  // namespace app
