// The screen and frame entries of the desktop systems: the video system
// reports the desktop and shows the boxes, files are on the disk as soon as
// they are written, and the frame pacing may spin the last fraction of a
// millisecond.
#include <chrono>
#include <thread>

#include "engine/platform/platform.h"

namespace engine::os {

bool ScreenPixelSize(int*, int*) {
    return false;
}

void WindowMade(int, int) {}

bool TakeScreenResized() {
    return false;
}

bool FramesYield() {
    return false;
}

bool ThreadsAvailable() {
    return true;
}

void SleepMicroseconds(int64_t us) {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void FramePresented(uint64_t) {}

bool ShowMessageInPage(const std::string&, const std::string&, bool) {
    return false;
}

void HandToPlayer(const std::string&, const std::string&) {}

}  // namespace engine::os
