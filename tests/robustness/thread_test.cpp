// Threads a host may use at once: instances created and closed on two threads, and
// parameters and bypass written on one thread while another processes blocks. Run under
// the native-tsan preset, these also prove the shared fields free of data races.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "host/plugin_instance.h"
#include "robustness/block_helpers.h"
#include "robustness/engine_inspection.h"
#include "robustness/instance_churn.h"
#include "support/plugin_library.h"

namespace {

constexpr int churnCycles = 3000;  // per thread

// One small block, so each cycle touches the engine of the instance it made.
bool processSmallBlock(AEffect* effect, StressSignal& signal) {
    StereoBlock block(32, BufferLayout::separate);
    signal.fill(block.inputs[0], block.inputs[1], 32, 44100.0);
    block.process(effect, 32);
    return bounded(block.outputs, 32);
}

TEST(InstanceThreads, TwoThreadsCreateAndCloseThroughTheLibrary) {
    PluginLibrary library;
    ASSERT_TRUE(library.loaded());
    AEffect* pinned = library.create();  // lives across the whole run
    ASSERT_NE(pinned, nullptr);

    std::atomic<int> failures{0};
    onTwoThreads(churnCycles, [&](int thread, int cycle) {
        StressSignal signal;
        AEffect* effect = library.create();
        if (!effect) {
            failures.fetch_add(1);
            return;
        }
        effect->setParameter(effect, parameterDrive, static_cast<float>(cycle % 11) / 10.0f);
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, thread ? 96000.0f : 44100.0f);
        if (!processSmallBlock(effect, signal) || !instanceSound(effect)) failures.fetch_add(1);
        closeEffect(effect);
    });
    EXPECT_EQ(failures.load(), 0);

    StressSignal signal;
    EXPECT_TRUE(processSmallBlock(pinned, signal));
    EXPECT_FLOAT_EQ(pinned->getParameter(pinned, parameterDrive), 0.4f);
    EXPECT_TRUE(instanceSound(pinned));
    closeEffect(pinned);
}

// The host objects linked in, with GDI+ counted behind the platform seam.
TEST(InstanceThreads, GdiplusStartsOnceAndStopsWithTheLastInstance) {
    CountingSeam counting;
    onTwoThreads(churnCycles, [](int, int) { closeEffect(VSTPluginMain(quietHostCallback)); });
    EXPECT_EQ(gdiplusCounts.overlaps.load(), 0);
    EXPECT_GE(gdiplusCounts.startups.load(), 1);
    EXPECT_EQ(gdiplusCounts.startups.load(), gdiplusCounts.shutdowns.load());
    EXPECT_EQ(moduleState.instanceCount, 0);
    EXPECT_EQ(moduleState.gdiplusToken, 0u);

    // With one instance open throughout, the churn never shuts GDI+ down.
    AEffect* pinned = VSTPluginMain(quietHostCallback);
    const int startups = gdiplusCounts.startups.load(), shutdowns = gdiplusCounts.shutdowns.load();
    onTwoThreads(churnCycles, [](int, int) { closeEffect(VSTPluginMain(quietHostCallback)); });
    EXPECT_EQ(gdiplusCounts.startups.load(), startups);
    EXPECT_EQ(gdiplusCounts.shutdowns.load(), shutdowns);
    EXPECT_NE(moduleState.gdiplusToken, 0u);
    closeEffect(pinned);
    EXPECT_EQ(gdiplusCounts.shutdowns.load(), shutdowns + 1);
    EXPECT_EQ(gdiplusCounts.overlaps.load(), 0);
}

// A user turning knobs, automation and a bypass button, all while the audio thread runs.
TEST(ParameterThreads, WritesFromOneThreadWhileAnotherProcesses) {
    PluginLibrary library;
    AEffect* effect = library.create();
    ASSERT_NE(effect, nullptr);

    constexpr int blocks = 3000;
    constexpr int32_t frames = 128;
    std::atomic<bool> audioDone{false};
    std::atomic<int> unbounded{0};
    std::thread audio([&] {
        StressSignal signal;
        StereoBlock block(frames, BufferLayout::inPlace);
        for (int n = 0; n < blocks; ++n) {
            // Input within ±0.9, so bypassed and processed blocks alike must stay bounded.
            signal.fill(block.inputs[0], block.inputs[1], frames, 44100.0, 0.85f);
            block.process(effect, frames);
            if (!bounded(block.outputs, frames)) unbounded.fetch_add(1);
        }
        audioDone.store(true);
    });

    const float values[] = {0.0f, 1.0f, 0.5f, 0.51f, 2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), 1e-40f, 0.25f};
    long writes = 0;
    while (!audioDone.load()) {
        const int index = static_cast<int>(writes % parameterCount);
        effect->setParameter(effect, index, values[writes % std::size(values)]);
        const float read = effect->getParameter(effect, index);
        if (!(read >= 0.0f && read <= 1.0f)) unbounded.fetch_add(1);
        if (writes % 97 == 0) dispatch(effect, effSetBypass, 0, writes % 2);
        ++writes;
    }
    audio.join();
    EXPECT_GT(writes, 0);
    EXPECT_EQ(unbounded.load(), 0);
    EXPECT_TRUE(instanceSound(effect));
    closeEffect(effect);
}

}  // namespace
