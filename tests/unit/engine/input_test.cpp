// Keyboard and mouse snapshots, driven by pushed system events that the
// display's pump hands to the input state, as a real frame would.
#include <gtest/gtest.h>

#include <map>

#include "engine/display.h"
#include "engine/input.h"
#include "engine/testing/synthetic_events.h"

namespace {

using namespace engine;

constexpr int kW = 320, kH = 200;

void Key(int code, bool down) {
    ASSERT_EQ(PushKeyEvent(code, down ? 1 : 0), 1);
}
void Motion(int dx, int dy) {
    ASSERT_EQ(PushMouseMotion(-1, 0, 0, dx, dy), 1);
}
void Button(int button, bool down) {
    ASSERT_EQ(PushMouseButton(-1, button, down ? 1 : 0, 0, 0), 1);
}
void Focus(bool gained) {
    ASSERT_EQ(PushWindowEvent(-1, gained ? kEventActivated : kEventDeactivated), 1);
}

// One frame as the game runs it in full screen: flip (which pumps), then
// snapshots.
void Frame() {
    FlipFrame();
    PollKeyboard();
}

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitSpriteSystem(), 1);
        ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "input", 0), 1);
        SetFramePacing(false);
        ASSERT_EQ(StartKeyboard(), 1);
        ASSERT_EQ(StartMouse(), 1);
        while (PollWindowEvent() != 0) {
        }
    }
    void TearDown() override {
        CloseDisplay();
        ShutdownInput();
    }
};

TEST_F(InputTest, KeyHeldAcrossSnapshotsIsReleasedExactlyOnce) {
    EXPECT_EQ(IsKeyDown(kKeyM), 0);  // no snapshot yet
    EXPECT_EQ(IsKeyDown(-1), 0);
    Key(kKeyM, true);
    Frame();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(IsKeyDown(kKeyM), 1);
        EXPECT_EQ(IsKeyDown(-1), 1);
        EXPECT_EQ(WasKeyReleased(kKeyM), 0);
        EXPECT_EQ(WasKeyReleased(-1), 0);
        Frame();
    }
    Key(kKeyM, false);
    Frame();
    EXPECT_EQ(IsKeyDown(kKeyM), 0);
    EXPECT_EQ(IsKeyDown(-1), 0);
    EXPECT_EQ(WasKeyReleased(kKeyM), 1);
    EXPECT_EQ(WasKeyReleased(-1), 1);
    Frame();
    EXPECT_EQ(WasKeyReleased(kKeyM), 0);
    EXPECT_EQ(WasKeyReleased(-1), 0);
}

TEST_F(InputTest, TapBetweenSnapshotsIsNeverSeenAndBadCodesAreZero) {
    Frame();
    Key(kKeyF2, true);
    Key(kKeyF2, false);
    Frame();
    EXPECT_EQ(IsKeyDown(kKeyF2), 0);
    EXPECT_EQ(WasKeyReleased(kKeyF2), 0);
    EXPECT_EQ(IsKeyDown(256), 0);
    EXPECT_EQ(IsKeyDown(-2), 0);
    EXPECT_EQ(WasKeyReleased(1 << 30), 0);
}

TEST_F(InputTest, VolumeKeysHeldForASecondActEveryFrame) {
    Key(kKeyPadPlus, true);
    int volume = 70;
    for (int frame = 0; frame < 60; ++frame) {
        Frame();
        if (IsKeyDown(kKeyPadPlus) && volume < 100) ++volume;
    }
    EXPECT_EQ(volume, 100);
}

TEST_F(InputTest, UnfocusedDisplayDropsTheKeyboardUntilFocusReturns) {
    Key(kKeyEscape, true);
    Frame();
    EXPECT_EQ(IsKeyDown(1), 1);
    Focus(false);
    FlipFrame();
    EXPECT_EQ(IsDisplayFocused(), 0);
    EXPECT_EQ(PollKeyboard(), 0);
    EXPECT_EQ(IsKeyDown(1), 0);  // not acquired
    Focus(true);
    FlipFrame();
    EXPECT_EQ(PollKeyboard(), 1);
    EXPECT_EQ(IsKeyDown(1), 0);  // keys down when the focus went are forgotten
}

// A controller fills its entries of the key table through SDL's real
// game-controller path, on every system the game is built for.
TEST_F(InputTest, ControllerButtonsAndStickFillTheirKeyEntries) {
    const int pad = AttachVirtualController();
    ASSERT_GT(pad, 0) << "no game-controller support in this build";
    Frame();
    EXPECT_EQ(ControllerCount(), 1);
    ASSERT_EQ(SetVirtualControllerButton(pad, kPadA, 1), 1);
    ASSERT_EQ(SetVirtualControllerStick(pad, 32767, 0), 1);
    Frame();
    EXPECT_EQ(IsKeyDown(kPadA), 1);
    EXPECT_EQ(IsKeyDown(kPadRight), 1);
    EXPECT_EQ(IsKeyDown(kPadLeft), 0);
    EXPECT_EQ(DetachVirtualController(pad), 1);
    Frame();
    EXPECT_EQ(ControllerCount(), 0);
    EXPECT_EQ(IsKeyDown(kPadA), 0);
}

TEST(ScanCodes, SetOneCodesOfTheKeysTheGameAndDirectInputUse) {
    // System scan codes are USB keyboard usage ids.
    const std::map<int, int> expected = {
        {41, 0x01},  {17, 0x31}, {16, 0x32}, {59, 0x3C},  {86, 0x4A}, {87, 0x4E},
        {82, 0xC8},  {81, 0xD0}, {80, 0xCB}, {79, 0xCD},  {88, 0x9C}, {228, 0x9D},
        {224, 0x1D}, {40, 0x1C}, {44, 0x39}, {4, 0x1E},   {29, 0x2C}, {39, 0x0B},
        {68, 0x57},  {69, 0x58}, {84, 0xB5}, {230, 0xB8}, {76, 0xD3}, {98, 0x52}};
    for (auto [usb, set1] : expected)
        EXPECT_EQ(ScanCodeFromSystem(usb), set1) << usb;
    EXPECT_EQ(ScanCodeFromSystem(0), 0);
    EXPECT_EQ(ScanCodeFromSystem(-5), 0);
    EXPECT_EQ(ScanCodeFromSystem(100000), 0);
    // No two different keys share a code, apart from the known aliases
    // (non-US hash and backslash, the two mute keys).
    std::map<int, int> seen;
    for (int usb = 1; usb < 512; ++usb) {
        int code = ScanCodeFromSystem(usb);
        if (!code) continue;
        if (seen.count(code)) {
            bool alias = (usb == 50 && seen[code] == 49) || (usb == 262 && seen[code] == 127);
            EXPECT_TRUE(alias) << usb << " and " << seen[code] << " share " << code;
        }
        seen[code] = usb;
    }
    EXPECT_GT(seen.size(), 120u);
}

TEST_F(InputTest, VirtualCursorMovesByMotionAndIsClampedToTheDisplay) {
    MoveCursorTo(kW / 2, kH / 2);
    Motion(10, -5);
    Motion(3, 2);
    FlipFrame();
    EXPECT_EQ(PollMouse(), 1);
    EXPECT_EQ(CursorX(), kW / 2 + 13);
    EXPECT_EQ(CursorY(), kH / 2 - 3);
    Motion(5000, 5000);
    FlipFrame();
    PollMouse();
    EXPECT_EQ(CursorX(), kW - 1);
    EXPECT_EQ(CursorY(), kH - 1);
    PollMouse();  // motion is used once
    EXPECT_EQ(CursorX(), kW - 1);

    MoveCursorTo(-10, -10);
    EXPECT_EQ(CursorX(), -10);  // accepted as is
    EXPECT_EQ(CursorY(), -10);
    Motion(2, 1);
    FlipFrame();
    PollMouse();
    EXPECT_EQ(CursorX(), 0);
    EXPECT_EQ(CursorY(), 0);
}

TEST_F(InputTest, ButtonsAndWheelFollowTheEvents) {
    Button(1, true);
    Button(3, true);
    ASSERT_EQ(PushMouseWheel(2), 1);
    FlipFrame();
    PollMouse();
    EXPECT_EQ(IsMouseButtonDown(1), 1);
    EXPECT_EQ(IsMouseButtonDown(2), 0);
    EXPECT_EQ(IsMouseButtonDown(3), 1);
    EXPECT_EQ(IsMouseButtonDown(4), 0);
    EXPECT_EQ(MouseWheel(), 2);
    PollMouse();
    EXPECT_EQ(IsMouseButtonDown(1), 1);  // still held
    EXPECT_EQ(MouseWheel(), 0);
    Button(1, false);
    FlipFrame();
    PollMouse();
    EXPECT_EQ(IsMouseButtonDown(1), 0);
}

TEST_F(InputTest, ReleasedMouseIgnoresMotionAndButtonsUntilCapturedAgain) {
    MoveCursorTo(100, 100);
    Button(1, true);
    FlipFrame();
    PollMouse();
    ASSERT_EQ(IsMouseButtonDown(1), 1);
    ReleaseMouseCapture(1);
    EXPECT_EQ(IsMouseButtonDown(1), 0);
    Motion(20, 20);
    Button(2, true);
    FlipFrame();
    EXPECT_EQ(PollMouse(), 0);
    EXPECT_EQ(CursorX(), 100);
    EXPECT_EQ(IsMouseButtonDown(2), 0);
    ReleaseMouseCapture(0);
    EXPECT_EQ(PollMouse(), 1);
    EXPECT_EQ(CursorX(), 100);  // the motion while released is gone
    Motion(1, 0);
    FlipFrame();
    PollMouse();
    EXPECT_EQ(CursorX(), 101);
}

TEST_F(InputTest, MotionWhileUnfocusedIsDiscardedNotAppliedLater) {
    MoveCursorTo(50, 50);
    Focus(false);
    FlipFrame();
    Motion(30, 30);
    FlipFrame();
    EXPECT_EQ(PollMouse(), 0);
    Focus(true);
    FlipFrame();
    EXPECT_EQ(PollMouse(), 1);
    EXPECT_EQ(CursorX(), 50);
    EXPECT_EQ(CursorY(), 50);
}

TEST_F(InputTest, ClosingTheDisplayResetsTheMouse) {
    MoveCursorTo(70, 80);
    Button(1, true);
    FlipFrame();
    PollMouse();
    ReleaseMouseCapture(1);
    CloseDisplay();
    EXPECT_EQ(CursorX(), 0);
    EXPECT_EQ(CursorY(), 0);
    EXPECT_EQ(IsMouseButtonDown(1), 0);
    ASSERT_EQ(OpenExclusiveDisplay(kW, kH, 32, "input", 0), 1);
    Motion(4, 4);
    FlipFrame();
    EXPECT_EQ(PollMouse(), 1);  // the released flag went with the display
    EXPECT_EQ(CursorX(), 4);
}

}  // namespace
