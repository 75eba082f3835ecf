// Knob drags through window messages: the hit areas, the drag arithmetic with its clamps,
// the automation reports, and the capture.
#include "editor_host.h"

#include "editor/panel_layout.h"

class EditorMouseTest : public EditorTest {
protected:
    std::vector<HostCall> automations() const {
        std::vector<HostCall> found;
        for (const HostCall& call : hostCalls)
            if (call.opcode == audioMasterAutomate) found.push_back(call);
        return found;
    }
    // Values of all eight parameters.
    std::vector<float> parameters() {
        std::vector<float> values;
        for (int i = 0; i < parameterCount; ++i) values.push_back(parameter(i));
        return values;
    }
};

TEST_F(EditorMouseTest, PressOnTheRimGrabsAndJustOutsideDoesNot) {
    for (const KnobEntry& knob : knobTable) {
        SCOPED_TRACE(knob.parameter);
        const int r = knob.radius;
        // Points on the circle in four directions and one diagonal inside it.
        const int inside[][2] = {{r, 0}, {-r, 0}, {0, r}, {0, -r}, {r * 7 / 10, r * 7 / 10}};
        for (const auto& offset : inside) {
            setParameter(knob.parameter, 0.5f);
            hostCalls.clear();
            const int x = knob.centreX + offset[0];
            const int y = knob.centreY + offset[1];
            send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
            EXPECT_EQ(GetCapture(), editor);
            send(WM_MOUSEMOVE, x + 30, y - 20, MK_LBUTTON);  // x does not count
            send(WM_LBUTTONUP, x, y - 20);
            EXPECT_EQ(GetCapture(), nullptr);
            EXPECT_EQ(parameter(knob.parameter), dragValue(0.5f, y, y - 20));
            ASSERT_EQ(automations().size(), 1u);
            EXPECT_EQ(automations()[0].index, knob.parameter);
        }
        const int outside[][2] = {{r + 1, 0}, {-r - 1, 0}, {0, r + 1}, {0, -r - 1}, {r * 3 / 4, r * 3 / 4}};
        for (const auto& offset : outside) {
            setParameter(knob.parameter, 0.5f);
            hostCalls.clear();
            const std::vector<float> before = parameters();
            const int x = knob.centreX + offset[0];
            const int y = knob.centreY + offset[1];
            send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
            EXPECT_EQ(GetCapture(), nullptr);
            send(WM_MOUSEMOVE, x, y - 50, MK_LBUTTON);
            send(WM_LBUTTONUP, x, y - 50);
            EXPECT_EQ(parameters(), before) << "press at " << x << ", " << y;
            EXPECT_TRUE(hostCalls.empty());
        }
    }
}

TEST_F(EditorMouseTest, DriveDragsFollowTheVerticalDistanceAndClamp) {
    // From the default 0.4: 40 pixels up gives 0.6.
    send(WM_LBUTTONDOWN, 130, 165, MK_LBUTTON);
    send(WM_MOUSEMOVE, 130, 125, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 40.0f * 0.005f + 0.4f);
    EXPECT_NEAR(parameter(parameterDrive), 0.6f, 1e-6f);
    // 200 pixels below the press, and further, give 0.
    send(WM_MOUSEMOVE, 130, 365, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 0.0f);
    send(WM_MOUSEMOVE, 130, 900, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 0.0f);
    // Above the window (negative y under capture) the value stops at 1.
    send(WM_MOUSEMOVE, 130, -35, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 1.0f);
    send(WM_MOUSEMOVE, 130, -3000, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 1.0f);
    // Back at the press point: the start value again.
    send(WM_MOUSEMOVE, 130, 165, MK_LBUTTON);
    EXPECT_EQ(parameter(parameterDrive), 0.4f);
    send(WM_LBUTTONUP, 130, 165);

    const auto calls = automations();
    ASSERT_EQ(calls.size(), 6u);  // one per move
    const float expected[] = {40.0f * 0.005f + 0.4f, 0.0f, 0.0f, 1.0f, 1.0f, 0.4f};
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].effect, effect);
        EXPECT_EQ(calls[i].index, parameterDrive);
        EXPECT_EQ(calls[i].value, 0);
        EXPECT_EQ(calls[i].ptr, nullptr);
        EXPECT_EQ(calls[i].opt, expected[i]) << i;
    }
    EXPECT_EQ(hostCalls.size(), calls.size());  // nothing but automation
}

TEST_F(EditorMouseTest, EachMoveReportsOnceAndRepaints) {
    setParameter(parameterMix, 0.25f);
    send(WM_LBUTTONDOWN, 700, 400, MK_LBUTTON);
    for (int step = 1; step <= 5; ++step) {
        ValidateRect(editor, nullptr);
        hostCalls.clear();
        send(WM_MOUSEMOVE, 690, 400 - 7 * step, MK_LBUTTON);
        ASSERT_EQ(hostCalls.size(), 1u);
        EXPECT_EQ(hostCalls[0].index, parameterMix);
        EXPECT_EQ(hostCalls[0].opt, dragValue(0.25f, 400, 400 - 7 * step));
        EXPECT_EQ(parameter(parameterMix), hostCalls[0].opt);
        EXPECT_TRUE(GetUpdateRect(editor, nullptr, FALSE));
    }
    send(WM_LBUTTONUP, 690, 365);
    // After the release moves do nothing.
    hostCalls.clear();
    send(WM_MOUSEMOVE, 690, 100, MK_LBUTTON);
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_EQ(parameter(parameterMix), dragValue(0.25f, 400, 365));
}

TEST_F(EditorMouseTest, PressOffTheKnobsChangesNothing) {
    const std::vector<float> before = parameters();
    send(WM_LBUTTONDOWN, 420, 300, MK_LBUTTON);
    send(WM_MOUSEMOVE, 420, 100, MK_LBUTTON);
    send(WM_LBUTTONUP, 420, 100);
    EXPECT_EQ(parameters(), before);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(EditorMouseTest, ReleaseWithoutADragLeavesTheCaptureAlone) {
    SetCapture(host);
    send(WM_LBUTTONUP, 130, 165);
    EXPECT_EQ(GetCapture(), host);
    ReleaseCapture();
}

TEST_F(EditorMouseTest, OtherButtonsDoNotDrag) {
    const std::vector<float> before = parameters();
    send(WM_RBUTTONDOWN, 130, 165, MK_RBUTTON);
    send(WM_MBUTTONDOWN, 130, 165, MK_MBUTTON);
    send(WM_MOUSEMOVE, 130, 100, MK_RBUTTON);
    EXPECT_EQ(parameters(), before);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(EditorMouseTest, LosingTheCaptureEndsTheDrag) {
    send(WM_LBUTTONDOWN, 510, 375, MK_LBUTTON);
    send(WM_MOUSEMOVE, 510, 355, MK_LBUTTON);
    ASSERT_EQ(hostCalls.size(), 1u);
    const float dragged = parameter(parameterSieve);

    SetCapture(host);  // another window takes the mouse, the editor gets WM_CAPTURECHANGED
    hostCalls.clear();
    send(WM_MOUSEMOVE, 510, 200, 0);
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_EQ(parameter(parameterSieve), dragged);
    send(WM_LBUTTONUP, 510, 200);
    EXPECT_EQ(GetCapture(), host);  // the editor does not release what it no longer holds
    ReleaseCapture();

    // Plain release of the capture (as on a switch of application) ends it too.
    send(WM_LBUTTONDOWN, 510, 375, MK_LBUTTON);
    ReleaseCapture();
    hostCalls.clear();
    send(WM_MOUSEMOVE, 510, 300, 0);
    EXPECT_TRUE(hostCalls.empty());

    // A new press starts a new drag as usual.
    send(WM_LBUTTONDOWN, 510, 375, MK_LBUTTON);
    send(WM_MOUSEMOVE, 510, 375 - 10, MK_LBUTTON);
    EXPECT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(parameter(parameterSieve), dragValue(dragged, 375, 365));
    send(WM_LBUTTONUP, 510, 365);
}

TEST_F(EditorMouseTest, ADragInAClosedEditorDoesNotCarryIntoTheNextOne) {
    send(WM_LBUTTONDOWN, 130, 165, MK_LBUTTON);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
    editor = FindWindowExA(host, nullptr, editorClassName, nullptr);
    hostCalls.clear();
    send(WM_MOUSEMOVE, 130, 100, MK_LBUTTON);
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_EQ(parameter(parameterDrive), 0.4f);
}
