// The host layer against a recording platform: the order of window-system and GDI+ calls,
// module-wide counting, the editor opcodes and the sample-rate request.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/dispatcher.h"
#include "host/plugin_instance.h"
#include "recording_platform.h"

namespace {

intptr_t hostCallback(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

PluginInstance* create() { return instanceOf(VSTPluginMain(hostCallback)); }

intptr_t send(PluginInstance* instance, int32_t opcode, int32_t index = 0, intptr_t value = 0,
              void* ptr = nullptr, float opt = 0.0f) {
    return dispatcher(&instance->effect, opcode, index, value, ptr, opt);
}

void* const hostWindow = reinterpret_cast<void*>(0x77);

using Calls = std::vector<std::string>;

class HostLayer : public ::testing::Test {
protected:
    ScopedRecordingPlatform scoped;
    RecordingPlatform& rec = scoped.recorder;
};

TEST_F(HostLayer, GdiplusStartsOnceForTwoInstancesAndStopsAtTheLastClose) {
    PluginInstance* a = create();
    PluginInstance* b = create();
    EXPECT_EQ(rec.calls, Calls{"GdiplusStartup"});
    EXPECT_EQ(moduleState.instanceCount, 2);
    EXPECT_EQ(send(a, effClose), 0);
    EXPECT_EQ(rec.calls, Calls{"GdiplusStartup"});
    EXPECT_EQ(send(b, effClose), 0);
    EXPECT_EQ(rec.calls, (Calls{"GdiplusStartup", "GdiplusShutdown 24301"}));
    EXPECT_EQ(moduleState.instanceCount, 0);
    EXPECT_EQ(moduleState.gdiplusToken, 0u);

    // A new first instance starts GDI+ again.
    PluginInstance* c = create();
    send(c, effClose);
    EXPECT_EQ(rec.calls.size(), 4u);
}

TEST_F(HostLayer, NullCallbackCreatesNothing) {
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(moduleState.instanceCount, 0);
}

TEST_F(HostLayer, ConstructionValues) {
    PluginInstance* p = create();
    EXPECT_EQ(p->effect.flags, 17);  // the recording platform has an editor
    EXPECT_EQ(p->sampleRate, 44100.0);
    EXPECT_FALSE(p->bypassed.load());
    EXPECT_EQ(p->editorWindow.load(), nullptr);
    EXPECT_EQ(p->drag.index, -1);
    EXPECT_EQ(p->drag.startY, 0);
    EXPECT_EQ(p->drag.startValue, 0.0f);
    EXPECT_EQ(p->animationPhase, 0.0f);
    EXPECT_EQ(p->hostCallback, &hostCallback);
    EXPECT_EQ(p->engine.peakNorm, 0.001);
    EXPECT_EQ(p->engine.crestSoftener, 1.0);
    EXPECT_EQ(p->engine.levelAttack, std::exp(-1.0 / (0.001 * 44100.0)));
    send(p, effClose);
}

TEST_F(HostLayer, CloseDestroysAnOpenEditorBeforeFreeingTheRecord) {
    PluginInstance* p = create();
    ASSERT_EQ(send(p, effEditOpen, 0, 0, hostWindow), 1);
    rec.calls.clear();
    // The recorder's WM_DESTROY writes into the instance: freed first, ASan would see it.
    send(p, effClose);
    EXPECT_EQ(rec.calls, (Calls{"IsWindow", "DestroyWindow", "GdiplusShutdown 24301"}));
    EXPECT_TRUE(rec.liveWindows.empty());
}

TEST_F(HostLayer, CloseWithAStaleEditorHandleDestroysNothing) {
    PluginInstance* p = create();
    ASSERT_EQ(send(p, effEditOpen, 0, 0, hostWindow), 1);
    rec.forgetWindow(p->editorWindow.load());  // the host destroyed its parent window
    rec.calls.clear();
    send(p, effClose);
    EXPECT_EQ(rec.calls, (Calls{"IsWindow", "GdiplusShutdown 24301"}));
}

TEST_F(HostLayer, EditorClassIsRegisteredOnceAndANullParentCreatesNoWindow) {
    moduleState.editorClassRegistered = false;
    PluginInstance* a = create();
    PluginInstance* b = create();
    rec.calls.clear();
    EXPECT_EQ(send(a, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(a->editorWindow.load(), nullptr);
    EXPECT_TRUE(moduleState.editorClassRegistered);
    EXPECT_EQ(send(b, effEditOpen, 0, 0, hostWindow), 1);
    EXPECT_NE(b->editorWindow.load(), nullptr);
    int registrations = 0;
    for (const auto& call : rec.calls) registrations += call.rfind("RegisterClassExA", 0) == 0;
    EXPECT_EQ(registrations, 1);
    send(a, effClose);
    send(b, effClose);
}

TEST_F(HostLayer, ReopeningReplacesTheOpenWindowAfterDestroyingIt) {
    PluginInstance* p = create();
    ASSERT_EQ(send(p, effEditOpen, 0, 0, hostWindow), 1);
    void* first = p->editorWindow.load();
    rec.calls.clear();
    ASSERT_EQ(send(p, effEditOpen, 0, 0, hostWindow), 1);
    void* second = p->editorWindow.load();
    EXPECT_NE(first, second);
    EXPECT_EQ(rec.calls, (Calls{"IsWindow", "DestroyWindow", "CreateWindowExA"}));
    EXPECT_EQ(rec.liveWindows, std::vector<void*>{second});
    send(p, effClose);
}

TEST_F(HostLayer, EditorCloseTwiceAndIdleAnimation) {
    PluginInstance* p = create();
    EXPECT_EQ(send(p, effEditIdle), 0);  // no window: the phase stands still
    EXPECT_EQ(p->animationPhase, 0.0f);

    ASSERT_EQ(send(p, effEditOpen, 0, 0, hostWindow), 1);
    rec.calls.clear();
    EXPECT_EQ(send(p, effEditIdle), 0);
    EXPECT_EQ(p->animationPhase, 0.04f);
    EXPECT_EQ(rec.calls, (Calls{"IsWindow", "InvalidateRect", "IdleWindow"}));

    p->animationPhase = 6.25f;
    send(p, effEditIdle);
    const float sum = 6.25f + 0.04f;
    EXPECT_EQ(p->animationPhase, sum - 6.283185f);

    // A sum exactly at the wrap constant stays.
    p->animationPhase = 6.283185f - 0.04f;
    const float atWrap = p->animationPhase + 0.04f;
    send(p, effEditIdle);
    EXPECT_EQ(p->animationPhase, atWrap > 6.283185f ? atWrap - 6.283185f : atWrap);

    EXPECT_EQ(send(p, effEditClose), 1);
    EXPECT_EQ(p->editorWindow.load(), nullptr);
    rec.calls.clear();
    EXPECT_EQ(send(p, effEditClose), 1);
    EXPECT_TRUE(rec.calls.empty());
    send(p, effClose);
}

TEST_F(HostLayer, ParameterWritesRepaintOnlyAnOpenEditor) {
    PluginInstance* p = create();
    rec.calls.clear();
    p->effect.setParameter(&p->effect, 0, 0.3f);
    EXPECT_TRUE(rec.calls.empty());
    send(p, effEditOpen, 0, 0, hostWindow);
    rec.calls.clear();
    p->effect.setParameter(&p->effect, 0, 0.6f);
    EXPECT_EQ(rec.calls, (Calls{"IsWindow", "InvalidateRect"}));
    rec.calls.clear();
    p->effect.setParameter(&p->effect, 9, 0.6f);
    EXPECT_TRUE(rec.calls.empty());
    send(p, effClose);
}

TEST_F(HostLayer, AttachAndDetach) {
    void* module = reinterpret_cast<void*>(0xd11);
    moduleAttach(module);
    EXPECT_EQ(moduleState.moduleHandle, module);
    EXPECT_EQ(rec.calls, Calls{"DisableThreadLibraryCalls 0xd11"});

    PluginInstance* p = create();
    send(p, effEditOpen, 0, 0, hostWindow);
    send(p, effEditClose);
    rec.calls.clear();
    // Unloading with an instance still open: the class goes, GDI+ is left to the process
    // because its shutdown may not run under the loader lock.
    moduleDetach();
    EXPECT_EQ(rec.calls, Calls{"UnregisterClassA 0xd11"});
    EXPECT_FALSE(moduleState.editorClassRegistered);
    rec.calls.clear();
    moduleDetach();
    EXPECT_TRUE(rec.calls.empty());

    send(p, effClose);
    moduleState.moduleHandle = nullptr;
}

TEST_F(HostLayer, SampleRateRequests) {
    PluginInstance* p = create();
    struct Case {
        float opt;
        double prepared;
    };
    const Case cases[] = {{96000.0f, 96000.0},    {0.0f, 44100.0},  {-48000.0f, 44100.0},
                          {std::nanf(""), 44100.0}, {INFINITY, 44100.0}, {-INFINITY, 44100.0},
                          {4000.0f, 8000.0},      {8000.0f, 8000.0}, {48000.0f, 48000.0}};
    for (const Case& c : cases) {
        EXPECT_EQ(send(p, effSetSampleRate, 0, 0, nullptr, c.opt), 0);
        EXPECT_EQ(p->sampleRate, c.prepared) << c.opt;
        EXPECT_EQ(p->engine.lfoIncrement, 36.4424747816416 / c.prepared) << c.opt;
    }
    send(p, effClose);
}

TEST_F(HostLayer, BypassSwitchTestsTheWholeValue) {
    PluginInstance* p = create();
    send(p, effSetBypass, 0, 2);
    EXPECT_TRUE(p->bypassed.load());
    send(p, effSetBypass, 0, 0);
    EXPECT_FALSE(p->bypassed.load());
    send(p, effSetBypass, 0, static_cast<intptr_t>(1) << 33);  // low 32 bits are zero
    EXPECT_TRUE(p->bypassed.load());
    send(p, effClose);
}

}  // namespace
