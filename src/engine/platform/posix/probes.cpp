// Device probes on Linux: the device nodes and sockets that say whether a GPU
// or any sound output could be there, looked at without opening a driver.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/platform/platform.h"

namespace engine::os {

// A DRM device node or NVIDIA's own device.
bool MachineHasGpu() {
    if (access("/dev/nvidia0", F_OK) == 0) return true;
    DIR* dir = opendir("/dev/dri");
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "renderD", 7) == 0 ||
            std::strncmp(entry->d_name, "card", 4) == 0) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

// A sound card's device nodes or a sound server's socket (ALSA alone scans 32
// cards and joins its hot-plug thread, about 0.2 s, before giving up).
bool SoundDeviceMayExist() {
    for (const char* node :
         {"/dev/snd", "/dev/dsp", "/run/pulse/native", "/var/run/pulse/native"}) {
        if (access(node, F_OK) == 0) return true;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        for (const char* socket : {"/pulse/native", "/pipewire-0"}) {
            if (access((std::string(runtime) + socket).c_str(), F_OK) == 0) return true;
        }
    }
    return false;
}

}  // namespace engine::os
