// The plug-ins where the Windows installer put them, in the tests' own hosts: the CLAP and
// the VST 3 module render what the VST 2.4 library renders from the folder chosen for it
// (VELMORA_INSTALLED_VST2, a Windows path).
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "clap/clap_test_host.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"
#include "vst3/vst3_test_host.h"

namespace {

constexpr double rate = 48000.0;
constexpr size_t frames = 4096, block = 512;

struct Channels {
    std::vector<float> left, right;
};

Channels input() {
    Channels c{std::vector<float>(frames), std::vector<float>(frames)};
    fillTestSignal(c.left.data(), c.right.data(), frames, rate, 5);
    return c;
}

TEST(InstalledPlugins, ClapAndVst3RenderWhatTheInstalledVst2LibraryRenders) {
    const char* vst2Path = std::getenv("VELMORA_INSTALLED_VST2");
    ASSERT_NE(vst2Path, nullptr);
    PluginLibrary vst2(vst2Path);
    ASSERT_TRUE(vst2.loaded()) << vst2Path;
    AEffect* effect = vst2.create();
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    Channels expected = input();
    for (size_t at = 0; at < frames; at += block) {
        float* io[2] = {expected.left.data() + at, expected.right.data() + at};
        effect->processReplacing(effect, io, io, static_cast<int32_t>(block));
    }
    closeEffect(effect);
    ASSERT_NE(expected.left, input().left) << "the VST 2.4 library left the signal as it was";

    ClapLibrary clapLibrary;
    ASSERT_NE(clapLibrary.factory(), nullptr) << VELMORA_CLAP_PATH;
    ClapPlugin clap(clapLibrary);
    ASSERT_TRUE(clap.activate(rate));
    Channels fromClap = input();
    for (size_t at = 0; at < frames; at += block) {
        float* io[2] = {fromClap.left.data() + at, fromClap.right.data() + at};
        ASSERT_EQ(clap.process(io, io, block), CLAP_PROCESS_CONTINUE);
    }
    EXPECT_EQ(fromClap.left, expected.left);
    EXPECT_EQ(fromClap.right, expected.right);

    Vst3Module vst3Module;
    ASSERT_NE(vst3Module.factory(), nullptr) << VELMORA_VST3_MODULE_PATH;
    Channels fromVst3 = input();
    {
        Vst3Instance vst3(vst3Module, rate);
        ASSERT_NE(vst3.component, nullptr);
        for (size_t at = 0; at < frames; at += block)
            ASSERT_EQ(vst3.process(fromVst3.left.data() + at, fromVst3.right.data() + at, block), kResultOk);
    }
    EXPECT_EQ(fromVst3.left, expected.left);
    EXPECT_EQ(fromVst3.right, expected.right);
}

}  // namespace
