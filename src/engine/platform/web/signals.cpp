// A page has no termination signals: closing the tab ends the program at once,
// and every save is already in the browser's storage by then.
#include "engine/platform/platform.h"

namespace engine::os {

void CatchTerminationSignals() {}

void RestoreTerminationSignals() {}

bool TakeTerminationSignal() {
    return false;
}

}  // namespace engine::os
