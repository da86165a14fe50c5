// The device probes in a page: WebGL draws the frames (on the GPU, or on the
// browser's own renderer), and the page's audio context is always there.
#include "engine/platform/platform.h"

namespace engine::os {

bool MachineHasGpu() {
    return true;
}

bool SoundDeviceMayExist() {
    return true;
}

}  // namespace engine::os
