// The bundle loaded with lilv as an LV2 host loads it, against the VST 2.4 library loaded with
// dlopen: the same settings and signal give the same samples, to the bit, at 44.1, 48 and
// 96 kHz, through parameter changes, bypass, in-place buffers and odd host behaviour.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "lv2/lv2_instance.h"
#include "robustness/engine_inspection.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr uint32_t controlCount = 8, audioIn = 8, audioOut = 10;

class Lv2World {
public:
    Lv2World() : world_(lilv_world_new()) {
        lilv_world_load_all(world_);  // reads LV2_PATH, as hosts do
        LilvNode* uri = lilv_new_uri(world_, VELMORA_LV2_URI);
        plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
        lilv_node_free(uri);
    }
    ~Lv2World() { lilv_world_free(world_); }
    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin() const { return plugin_; }

private:
    LilvWorld* world_;
    const LilvPlugin* plugin_ = nullptr;
};

Lv2World& lv2() {
    static Lv2World world;
    return world;
}

// One block of a run: its length and the port values, with the parameter values a VST 2.4
// host would set for the same settings.
struct Step {
    uint32_t frames;
    float ports[controlCount];
    float vst[controlCount];
};

const Step defaults{0, {40, 0.5f, 70, 85, 75, 0, 100, 1},
                    {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f}};

std::vector<Step> changingSettings() {
    return {
        {512, {40, 0.5f, 70, 85, 75, 0, 100, 1}, {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1, 0}},
        {300, {60, 0.3f, 25, 50, 1, 9, 50, 1}, {0.6f, 0.3f, 0.25f, 0.5f, 0.01f, 0.75f, 0.5f, 0}},
        {1, {100, 1, 100, 100, 100, 18, 100, 1}, {1, 1, 1, 1, 1, 1, 1, 0}},
        {777, {0, 0, 0, 0, 0, -18, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0}},
        {256, {90, 0.75f, 2, 10, 60, -4.5f, 75, 0}, {0.9f, 0.75f, 0.02f, 0.1f, 0.6f, 0.375f, 0.75f, 1}},
        {64, {150, -1, 101, -5, 1e9f, 40, 200, 1}, {1, 0, 1, 0, 1, 1, 1, 0}},
        {2048, {20, 0.9f, 80, 70, 30, 4.5f, 100, 1}, {0.2f, 0.9f, 0.8f, 0.7f, 0.3f, 0.625f, 1, 0}},
        {1000, {nan, nan, nan, nan, nan, nan, nan, 1}, {1, 1, 1, 1, 1, 1, 1, 0}},
        {333, {inf, inf, -inf, inf, -inf, -inf, inf, -inf}, {1, 1, 0, 1, 0, 0, 1, 1}},
        {500, {40, 0.5f, 70, 85, 75, 0, 100, nan}, {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1, 1}},
        {4096, {45, 0.55f, 65, 90, 80, -9, 95, 1}, {0.45f, 0.55f, 0.65f, 0.9f, 0.8f, 0.25f, 0.95f, 0}},
    };
}

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t frames) : left(frames), right(frames) {}
};

Stereo testSignal(size_t frames, double rate) {
    Stereo s(frames);
    fillTestSignal(s.left.data(), s.right.data(), frames, rate, 7);
    return s;
}

size_t totalFrames(const std::vector<Step>& steps) {
    size_t n = 0;
    for (const Step& s : steps) n += s.frames;
    return n;
}

Stereo renderVst(double rate, const std::vector<Step>& steps, const Stereo& input) {
    PluginLibrary library;
    AEffect* effect = library.create();
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effect, effMainsChanged, 0, 1);
    Stereo output(input.left.size());
    size_t start = 0;
    for (const Step& step : steps) {
        for (uint32_t i = 0; i < controlCount; ++i)
            effect->setParameter(effect, static_cast<int32_t>(i), step.vst[i]);
        float* in[2] = {const_cast<float*>(&input.left[start]), const_cast<float*>(&input.right[start])};
        float* out[2] = {&output.left[start], &output.right[start]};
        effect->processReplacing(effect, in, out, static_cast<int32_t>(step.frames));
        start += step.frames;
    }
    closeEffect(effect);
    return output;
}

LilvInstance* instantiate(double rate) {
    return lilv_plugin_instantiate(lv2().plugin(), rate, nullptr);
}

const EngineState& engineOf(LilvInstance* instance) {
    return static_cast<const Lv2Instance*>(lilv_instance_get_handle(instance))->engine;
}

// Runs the steps through the bundle in place: each block is copied into the output buffers,
// which are connected as both input and output.
enum class HostHabit { plain, cycleActivation, reconnectEachRun, leaveControlsUnconnected };

Stereo renderLv2(double rate, const std::vector<Step>& steps, const Stereo& input,
                 HostHabit habit = HostHabit::plain) {
    LilvInstance* instance = instantiate(rate);
    EXPECT_NE(instance, nullptr);
    if (!instance) return Stereo(0);
    float controls[2][controlCount];
    Stereo output(input.left.size());
    lilv_instance_activate(instance);
    size_t start = 0;
    int run = 0;
    for (const Step& step : steps) {
        float* ports = controls[habit == HostHabit::reconnectEachRun ? run % 2 : 0];
        std::memcpy(ports, step.ports, sizeof step.ports);
        if (habit != HostHabit::leaveControlsUnconnected || run == 0)
            for (uint32_t i = 0; i < controlCount; ++i)
                lilv_instance_connect_port(instance, i,
                                           habit == HostHabit::leaveControlsUnconnected ? nullptr : &ports[i]);
        std::memcpy(&output.left[start], &input.left[start], step.frames * sizeof(float));
        std::memcpy(&output.right[start], &input.right[start], step.frames * sizeof(float));
        lilv_instance_connect_port(instance, audioIn, &output.left[start]);
        lilv_instance_connect_port(instance, audioIn + 1, &output.right[start]);
        lilv_instance_connect_port(instance, audioOut, &output.left[start]);
        lilv_instance_connect_port(instance, audioOut + 1, &output.right[start]);
        lilv_instance_run(instance, step.frames);
        if (habit == HostHabit::cycleActivation) {
            lilv_instance_deactivate(instance);
            lilv_instance_activate(instance);
        }
        EXPECT_TRUE(engineStateFinite(engineOf(instance))) << "after run " << run;
        start += step.frames;
        ++run;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    return output;
}

void expectIdentical(const Stereo& a, const Stereo& b) {
    ASSERT_EQ(a.left.size(), b.left.size());
    size_t differing = 0;
    for (size_t i = 0; i < a.left.size(); ++i)
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0)
            ++differing;
    EXPECT_EQ(differing, 0u) << "of " << a.left.size() << " frames";
}

void expectBounded(const Stereo& s) {
    for (size_t i = 0; i < s.left.size(); ++i) {
        ASSERT_TRUE(std::fabs(s.left[i]) <= 0.98f && std::fabs(s.right[i]) <= 0.98f) << i;
    }
}

TEST(Lv2Bundle, DescribesThePluginAsTheVstLibraryDoes) {
    const LilvPlugin* plugin = lv2().plugin();
    ASSERT_NE(plugin, nullptr) << "no " << VELMORA_LV2_URI << " on LV2_PATH";
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 12u);
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), "Tolvan Velmora");
    lilv_node_free(name);
    EXPECT_FALSE(lilv_plugin_has_latency(plugin));

    PluginLibrary library;
    AEffect* effect = library.create();
    LilvWorld* world = lv2().world();
    LilvNode* minor = lilv_new_uri(world, LV2_CORE__minorVersion);
    LilvNode* micro = lilv_new_uri(world, LV2_CORE__microVersion);
    LilvNode* minorValue = lilv_world_get(world, lilv_plugin_get_uri(plugin), minor, nullptr);
    LilvNode* microValue = lilv_world_get(world, lilv_plugin_get_uri(plugin), micro, nullptr);
    ASSERT_TRUE(minorValue && microValue);
    EXPECT_EQ(lilv_node_as_int(minorValue), effect->version / 100 % 10);
    EXPECT_EQ(lilv_node_as_int(microValue), effect->version % 100);
    for (LilvNode* n : {minor, micro, minorValue, microValue}) lilv_node_free(n);

    LilvNode* enabled = lilv_new_uri(world, LV2_CORE__enabled);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    const LilvPort* enablePort = lilv_plugin_get_port_by_designation(plugin, input, enabled);
    lilv_node_free(enabled);
    lilv_node_free(input);
    ASSERT_NE(enablePort, nullptr);
    EXPECT_EQ(lilv_port_get_index(plugin, enablePort), 7u);

    for (uint32_t i = 0; i < controlCount; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        LilvNode* portName = lilv_port_get_name(plugin, port);
        char vstName[16] = {};
        dispatch(effect, effGetParamName, static_cast<int32_t>(i), 0, vstName);
        EXPECT_STREQ(lilv_node_as_string(portName), vstName);
        lilv_node_free(portName);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        EXPECT_EQ(symbol.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string::npos);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        ASSERT_TRUE(def && min && max);
        EXPECT_EQ(lilv_node_as_float(def), defaults.ports[i]) << vstName;
        EXPECT_EQ(effect->getParameter(effect, static_cast<int32_t>(i)), defaults.vst[i]);
        for (LilvNode* n : {def, min, max}) lilv_node_free(n);
    }
    closeEffect(effect);
}

class Lv2AtRate : public testing::TestWithParam<double> {};

TEST_P(Lv2AtRate, GivesTheVstLibrarysSamplesThroughChangesAndBypass) {
    const double rate = GetParam();
    const std::vector<Step> steps = changingSettings();
    const Stereo input = testSignal(totalFrames(steps), rate);
    const Stereo lv2Output = renderLv2(rate, steps, input);
    expectIdentical(lv2Output, renderVst(rate, steps, input));
    expectBounded(lv2Output);

    // The bypassed blocks (enable switch at 0, -inf and NaN) are copies of their input.
    size_t start = 0;
    int bypassed = 0;
    for (const Step& step : steps) {
        if (step.vst[7] == 1.0f) {
            ++bypassed;
            EXPECT_EQ(std::memcmp(&lv2Output.left[start], &input.left[start], step.frames * 4), 0);
            EXPECT_EQ(std::memcmp(&lv2Output.right[start], &input.right[start], step.frames * 4), 0);
        }
        start += step.frames;
    }
    EXPECT_EQ(bypassed, 3);
}

INSTANTIATE_TEST_SUITE_P(Rates, Lv2AtRate, testing::Values(44100.0, 48000.0, 96000.0));

TEST(Lv2OddHost, ActivationCyclesAndReconnectionKeepTheEngineRunning) {
    const std::vector<Step> steps = changingSettings();
    const Stereo input = testSignal(totalFrames(steps), 48000.0);
    const Stereo vst = renderVst(48000.0, steps, input);
    expectIdentical(renderLv2(48000.0, steps, input, HostHabit::cycleActivation), vst);
    expectIdentical(renderLv2(48000.0, steps, input, HostHabit::reconnectEachRun), vst);
}

TEST(Lv2OddHost, UnconnectedControlsUseTheDefaults) {
    std::vector<Step> steps = changingSettings();
    for (Step& step : steps) std::memcpy(step.vst, defaults.vst, sizeof step.vst);
    const Stereo input = testSignal(totalFrames(steps), 44100.0);
    expectIdentical(renderLv2(44100.0, steps, input, HostHabit::leaveControlsUnconnected),
                    renderVst(44100.0, steps, input));
}

TEST(Lv2OddHost, ZeroFramesTouchNothingAndWildInputStaysBounded) {
    LilvInstance* instance = instantiate(1.0);  // raised to the engine's floor
    ASSERT_NE(instance, nullptr);
    float controls[controlCount] = {100, 1, 100, 100, 100, 18, 100, 1};
    for (uint32_t i = 0; i < controlCount; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
    std::vector<float> left(4096), right(4096), outLeft(4096, 5.0f), outRight(4096, 5.0f);
    lilv_instance_connect_port(instance, audioIn, left.data());
    lilv_instance_connect_port(instance, audioIn + 1, right.data());
    lilv_instance_connect_port(instance, audioOut, outLeft.data());
    lilv_instance_connect_port(instance, audioOut + 1, outRight.data());
    lilv_instance_activate(instance);
    lilv_instance_run(instance, 0);
    EXPECT_EQ(outLeft[0], 5.0f);
    EXPECT_EQ(outRight[0], 5.0f);

    const float wild[] = {nan, inf, -inf, std::numeric_limits<float>::max(), -1e30f, 1e-40f, 0.0f};
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = wild[i % 7];
        right[i] = wild[(i * 3 + 1) % 7] * 0.5f;
    }
    // Every control at the same wild value; the enable switch below 0.5 or not a number
    // bypasses, and a bypassed block is a copy of its input, wild or not.
    const struct { float control; bool bypassed; } cases[] = {
        {nan, true}, {inf, false}, {-inf, true}, {1e30f, false}, {-1e30f, true}};
    for (const auto& c : cases) {
        for (float& control : controls) control = c.control;
        lilv_instance_run(instance, 4096);
        if (c.bypassed) {
            EXPECT_EQ(std::memcmp(outLeft.data(), left.data(), 4096 * sizeof(float)), 0);
        } else {
            Stereo out(0);
            out.left = outLeft;
            out.right = outRight;
            expectBounded(out);
        }
        EXPECT_TRUE(engineStateFinite(engineOf(instance))) << c.control;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);

    for (double rate : {0.0, -48000.0, static_cast<double>(nan), static_cast<double>(inf)})
        EXPECT_EQ(instantiate(rate), nullptr) << rate;
}

}  // namespace
