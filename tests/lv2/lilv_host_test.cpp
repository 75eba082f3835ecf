// The bundle loaded with lilv as an LV2 host loads it, against the VST 2.4 library loaded with
// dlopen: the same settings and signal give the same samples, to the bit, at 44.1, 48 and
// 96 kHz, through parameter changes, in-place buffers and odd host habits.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/oversampling.h"
#include "lv2/lv2_instance.h"
#include "robustness/engine_inspection.h"
#include "support/bypass_probe.h"
#include "support/comma_locale.h"
#include "support/noise.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = HUGE_VALF;

struct World {
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin;
    World() {
        lilv_world_load_all(world);  // reads LV2_PATH, as hosts do
        LilvNode* uri = lilv_new_uri(world, VELMORA_LV2_URI);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    ~World() { lilv_world_free(world); }
} lv2;

// One run: its length, the port values, and what a VST 2.4 host sets for the same settings.
struct Step {
    uint32_t frames;
    float ports[8], vst[8];
};

const std::vector<Step> steps = {
    {512, {40, 0.5f, 70, 85, 75, 0, 100, 1}, {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1, 0}},
    {300, {60, 0.3f, 25, 50, 1, 9, 50, 1}, {0.6f, 0.3f, 0.25f, 0.5f, 0.01f, 0.75f, 0.5f, 0}},
    {777, {0, 0, 0, 0, 0, -18, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0}},
    {256, {90, 0.75f, 2, 10, 60, -4.5f, 75, 0}, {0.9f, 0.75f, 0.02f, 0.1f, 0.6f, 0.375f, 0.75f, 1}},
    {64, {150, -1, 101, -5, 1e9f, 40, 200, 1}, {1, 0, 1, 0, 1, 1, 1, 0}},
    {1, {nan, nan, nan, nan, nan, nan, nan, 1}, {1, 1, 1, 1, 1, 1, 1, 0}},
    {333, {inf, inf, -inf, inf, -inf, -inf, inf, -inf}, {1, 1, 0, 1, 0, 0, 1, 1}},
    {500, {40, 0.5f, 70, 85, 75, 0, 100, nan}, {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1, 1}},
    {4096, {45, 0.55f, 65, 90, 80, 4.5f, 95, 1}, {0.45f, 0.55f, 0.65f, 0.9f, 0.8f, 0.625f, 0.95f, 0}},
};
constexpr size_t totalFrames = 6839;
using Stereo = std::vector<float>[2];

// The steps with the enable port on and the VST 2.4 Bypass off throughout: a bypass change
// fades in the LV2 plug-in (Lv2Bypass below) where the VST 2.4 library switches.
std::vector<Step> processedThroughout() {
    std::vector<Step> processed = steps;
    for (Step& step : processed) step.ports[7] = 1.0f, step.vst[7] = 0.0f;
    return processed;
}

struct Render {
    std::vector<float> in[2], vst[2];
    // A host that suspends and resumes after every step: the VST 2.4 side of an LV2 host
    // that deactivates and activates.
    explicit Render(double rate, bool resumeAfterEachStep = false, const std::vector<Step>& list = steps) {
        for (auto* v : {in, vst}) v[0].resize(totalFrames), v[1].resize(totalFrames);
        fillTestSignal(in[0].data(), in[1].data(), totalFrames, rate, 7);
        PluginLibrary library;
        AEffect* effect = library.create();
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        dispatch(effect, effMainsChanged, 0, 1);
        size_t start = 0;
        for (const Step& step : list) {
            for (int32_t i = 0; i < 8; ++i) effect->setParameter(effect, i, step.vst[i]);
            float* ins[2] = {&in[0][start], &in[1][start]};
            float* outs[2] = {&vst[0][start], &vst[1][start]};
            effect->processReplacing(effect, ins, outs, static_cast<int32_t>(step.frames));
            if (resumeAfterEachStep) dispatch(effect, effMainsChanged, 0, 0), dispatch(effect, effMainsChanged, 0, 1);
            start += step.frames;
        }
        closeEffect(effect);
    }
};

enum class Habit { plain, cycleActivation, reconnectControls, controlsUnconnected };

// Runs the steps through the bundle in place, each block copied into the output buffers
// first; checks the engine state after every run.
void renderLv2(double rate, const std::vector<float> (&in)[2], Stereo& out, Habit habit,
               const std::vector<Step>& list = steps) {
    LilvInstance* instance = lilv_plugin_instantiate(lv2.plugin, rate, nullptr);
    ASSERT_NE(instance, nullptr);
    float controls[2][8];
    out[0] = in[0], out[1] = in[1];
    lilv_instance_activate(instance);
    size_t start = 0, run = 0;
    for (const Step& step : list) {
        float* ports = controls[habit == Habit::reconnectControls ? run % 2 : 0];
        std::memcpy(ports, step.ports, sizeof step.ports);
        for (uint32_t i = 0; i < 8; ++i)
            lilv_instance_connect_port(instance, i, habit == Habit::controlsUnconnected ? nullptr : &ports[i]);
        for (uint32_t c = 0; c < 2; ++c) {
            lilv_instance_connect_port(instance, 8 + c, &out[c][start]);
            lilv_instance_connect_port(instance, 10 + c, &out[c][start]);
        }
        lilv_instance_run(instance, step.frames);
        if (habit == Habit::cycleActivation) lilv_instance_deactivate(instance), lilv_instance_activate(instance);
        const auto* handle = static_cast<const Lv2Instance*>(lilv_instance_get_handle(instance));
        EXPECT_TRUE(engineStateFinite(handle->engine)) << "after run " << run++;
        start += step.frames;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

size_t differing(const Stereo& a, const std::vector<float> (&b)[2], size_t from = 0, size_t to = totalFrames) {
    size_t count = 0;
    for (int c = 0; c < 2; ++c)
        for (size_t i = from; i < to; ++i) count += std::memcmp(&a[c][i], &b[c][i], sizeof(float)) != 0;
    return count;
}

TEST(Lv2Bundle, PortsAndVersionAreTheVstLibrarys) {
    ASSERT_NE(lv2.plugin, nullptr) << "no " << VELMORA_LV2_URI << " on LV2_PATH";
    ASSERT_EQ(lilv_plugin_get_num_ports(lv2.plugin), 14u);
    EXPECT_TRUE(lilv_plugin_has_latency(lv2.plugin));
    EXPECT_EQ(lilv_plugin_get_latency_port_index(lv2.plugin), 13u);
    PluginLibrary library;
    AEffect* effect = library.create();
    // major.minor.patch (the VST 2.4 version's 1203 for 1.2.3) publishes as the even minor
    // version 2 × (1000 × major + minor) with the patch as micro version.
    int version[2];
    for (int part = 0; part < 2; ++part) {
        LilvNode* predicate = lilv_new_uri(lv2.world, part ? LV2_CORE__microVersion : LV2_CORE__minorVersion);
        LilvNode* value = lilv_world_get(lv2.world, lilv_plugin_get_uri(lv2.plugin), predicate, nullptr);
        version[part] = lilv_node_as_int(value);
        lilv_node_free(predicate), lilv_node_free(value);
    }
    EXPECT_EQ(version[0], 2 * (1000 * (effect->version / 1000) + effect->version / 100 % 10));
    EXPECT_EQ(version[1], effect->version % 100);
    float minima[14], maxima[14], defaults[14];
    lilv_plugin_get_port_ranges_float(lv2.plugin, minima, maxima, defaults);
    EXPECT_EQ(defaults[12], 1.0f);  // Oversampling: 1x by default, scale points 1x to 8x
    EXPECT_EQ(minima[12], 1.0f);
    EXPECT_EQ(maxima[12], 8.0f);
    const LilvPort* oversampling = lilv_plugin_get_port_by_index(lv2.plugin, 12);
    LilvScalePoints* points = lilv_port_get_scale_points(lv2.plugin, oversampling);
    std::map<int, std::string> labels;
    LILV_FOREACH (scale_points, i, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, i);
        labels[lilv_node_as_int(lilv_scale_point_get_value(point))] = lilv_node_as_string(lilv_scale_point_get_label(point));
    }
    lilv_scale_points_free(points);
    EXPECT_EQ(labels, (std::map<int, std::string>{{1, "1×"}, {2, "2×"}, {4, "4×"}, {8, "8×"}}));
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(lv2.plugin, oversampling)), "oversampling");
    for (int32_t i = 0; i < 8; ++i) {
        char name[16] = {};
        dispatch(effect, effGetParamName, i, 0, name);
        LilvNode* portName = lilv_port_get_name(lv2.plugin, lilv_plugin_get_port_by_index(lv2.plugin, i));
        EXPECT_STREQ(lilv_node_as_string(portName), i == 7 ? "Enabled" : name);  // lv2:enabled
        EXPECT_EQ(defaults[i], steps[0].ports[i]) << name;  // the VST defaults, as ports
        EXPECT_EQ(effect->getParameter(effect, i), steps[0].vst[i]) << name;
        lilv_node_free(portName);
    }
    closeEffect(effect);
}

// Beyond the ranges: the ports added later are optional, Oversampling is expensive, heard and
// not automatic, the licence is in the bundle, units are the VST 2.4 labels, and the UI is
// fixed in size and offers touch.
TEST(Lv2Bundle, DescriptionTellsHostsWhatTheyActOn) {
    using Node = std::unique_ptr<LilvNode, void (*)(LilvNode*)>;
    auto uri = [](const std::string& text) { return Node(lilv_new_uri(lv2.world, text.c_str()), lilv_node_free); };
    auto portHas = [&](uint32_t index, const std::string& property) {
        return lilv_port_has_property(lv2.plugin, lilv_plugin_get_port_by_index(lv2.plugin, index), uri(property).get());
    };
    for (uint32_t i = 0; i < 14; ++i) EXPECT_EQ(portHas(i, LV2_CORE__connectionOptional), i >= 12) << i;
    for (const char* property : {"expensive", "causesArtifacts", "notAutomatic"})
        EXPECT_TRUE(portHas(12, std::string("http://lv2plug.in/ns/ext/port-props#") + property)) << property;
    const Node licence(lilv_world_get(lv2.world, lilv_plugin_get_uri(lv2.plugin),
                                      uri("http://usefulinc.com/ns/doap#license").get(), nullptr), lilv_node_free);
    char* path = lilv_file_uri_parse(lilv_node_as_uri(licence.get()), nullptr);
    EXPECT_TRUE(std::ifstream(path).good()) << path;
    lilv_free(path);
    PluginLibrary library;
    AEffect* effect = library.create();
    const Node unit = uri(LV2_UNITS__unit), symbol = uri(LV2_UNITS__symbol), pc = uri(LV2_UNITS__pc), db = uri(LV2_UNITS__db);
    for (int32_t i = 0; i < 8; ++i) {
        char label[16] = {};
        dispatch(effect, effGetParamLabel, i, 0, label);
        LilvNodes* units = lilv_port_get_value(lv2.plugin, lilv_plugin_get_port_by_index(lv2.plugin, i), unit.get());
        const LilvNode* found = units ? lilv_nodes_get_first(units) : nullptr;
        const Node shown(found ? lilv_world_get(lv2.world, found, symbol.get(), nullptr) : nullptr, lilv_node_free);
        const std::string known = !found ? "" : lilv_node_equals(found, pc.get()) ? "%" : lilv_node_equals(found, db.get()) ? "dB"
                                  : shown ? lilv_node_as_string(shown.get()) : "?";
        EXPECT_EQ(known, label) << i;
        lilv_nodes_free(units);
    }
    closeEffect(effect);
    LilvUIs* uis = lilv_plugin_get_uis(lv2.plugin);
    const LilvNode* ui = lilv_ui_get_uri(lilv_uis_get(uis, lilv_uis_begin(uis)));
    for (const char* feature : {LV2_UI__touch, LV2_UI__resize, LV2_OPTIONS__options})
        EXPECT_TRUE(lilv_world_ask(lv2.world, ui, uri(LV2_CORE__optionalFeature).get(), uri(feature).get())) << feature;
    // The panel resizes with the host's window: no claim of a fixed size.
    EXPECT_FALSE(lilv_world_ask(lv2.world, ui, uri(LV2_CORE__optionalFeature).get(), uri(LV2_UI__fixedSize).get()));
    lilv_uis_free(uis);
}

// A host in a comma-decimal locale reads the same description and hears the same samples.
TEST(Lv2Bundle, ReadsAndRunsTheSameInACommaLocale) {
    float minima[2][14], maxima[2][14], defaults[2][14];
    lilv_plugin_get_port_ranges_float(lv2.plugin, minima[0], maxima[0], defaults[0]);
    CommaLocale locale;
    ASSERT_TRUE(locale.active) << "no de_DE.UTF-8 locale (scripts/install-deps.sh generates it)";
    World world;
    ASSERT_NE(world.plugin, nullptr);
    lilv_plugin_get_port_ranges_float(world.plugin, minima[1], maxima[1], defaults[1]);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 12})  // the control inputs
        EXPECT_TRUE(minima[0][i] == minima[1][i] && maxima[0][i] == maxima[1][i] && defaults[0][i] == defaults[1][i]) << i;
    EXPECT_EQ(minima[1][5] * 100 + maxima[1][1] * 10 + defaults[1][1], -1800 + 10 + 0.5f);
    const std::vector<Step> processed = processedThroughout();
    Render vst(44100.0, false, processed);
    Stereo out;
    renderLv2(44100.0, vst.in, out, Habit::plain, processed);
    EXPECT_EQ(differing(out, vst.vst), 0u);
}

class Lv2AtRate : public testing::TestWithParam<double> {};

TEST_P(Lv2AtRate, GivesTheVstLibrarysSamples) {
    const std::vector<Step> processed = processedThroughout();
    const Render reference(GetParam(), false, processed);
    Stereo out;
    renderLv2(GetParam(), reference.in, out, Habit::plain, processed);
    EXPECT_EQ(differing(out, reference.vst), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, Lv2AtRate, testing::Values(44100.0, 48000.0, 96000.0));

// Reconnected controls keep the engine running; each activation starts it from silence,
// exactly as each VST 2.4 resume does, and takes the enable port as it is, with no fade, so
// that the bypassed steps are copies.
TEST(Lv2OddHost, ActivationCyclesResumeAsVstAndReconnectedControlsKeepTheEngineRunning) {
    for (Habit habit : {Habit::cycleActivation, Habit::reconnectControls}) {
        const std::vector<Step>& list = habit == Habit::cycleActivation ? steps : processedThroughout();
        const Render reference(48000.0, habit == Habit::cycleActivation, list);
        Stereo out;
        renderLv2(48000.0, reference.in, out, habit, list);
        EXPECT_EQ(differing(out, reference.vst), 0u);
    }
}

// After loud noise, a deactivation and an activation, silence and then a signal come out bit
// for bit as from a fresh instance; without the new activation the last run rings out.
TEST(Lv2OddHost, ReactivationForgetsTheLastRun) {
    constexpr uint32_t loudFrames = 8192, afterFrames = 6000;
    std::vector<float> loud[2], after[2], out[3][2];
    NoiseSource noise{5};
    for (auto& channel : loud)
        for (uint32_t i = 0; i < loudFrames; ++i) channel.push_back(static_cast<float>(noise.symmetric()));
    for (auto& channel : after) channel.assign(afterFrames, 0.0f);
    fillTestSignal(&after[0][2000], &after[1][2000], afterFrames - 2000, 48000.0, 9);
    float controls[8];
    std::memcpy(controls, steps[0].ports, sizeof controls);

    LilvInstance* instances[3];
    for (int k = 0; k < 3; ++k) {
        instances[k] = lilv_plugin_instantiate(lv2.plugin, 48000.0, nullptr);
        ASSERT_NE(instances[k], nullptr);
        for (uint32_t i = 0; i < 8; ++i) lilv_instance_connect_port(instances[k], i, &controls[i]);
        lilv_instance_activate(instances[k]);
    }
    auto run = [](LilvInstance* instance, std::vector<float> (&in)[2], std::vector<float> (&to)[2]) {
        for (uint32_t c = 0; c < 2; ++c) {
            to[c].assign(in[c].size(), 0.0f);
            lilv_instance_connect_port(instance, 8 + c, in[c].data());
            lilv_instance_connect_port(instance, 10 + c, to[c].data());
        }
        lilv_instance_run(instance, static_cast<uint32_t>(in[0].size()));
    };
    std::vector<float> ignored[2];
    run(instances[0], loud, ignored), run(instances[1], loud, ignored);  // 0 reactivated, 1 not
    lilv_instance_deactivate(instances[0]);
    lilv_instance_activate(instances[0]);
    for (int k = 0; k < 3; ++k) run(instances[k], after, out[k]);
    EXPECT_EQ(differing(out[0], out[2], 0, afterFrames), 0u);
    EXPECT_GT(std::fabs(out[1][0][0]), 0.1f);
    for (LilvInstance* instance : instances) lilv_instance_deactivate(instance), lilv_instance_free(instance);
}

TEST(Lv2OddHost, UnconnectedControlsGiveTheDefaultsOutput) {
    const Render reference(44100.0);
    Stereo out;
    renderLv2(44100.0, reference.in, out, Habit::controlsUnconnected);
    EXPECT_EQ(differing(out, reference.vst, 0, 512), 0u);  // the first run is at the defaults
    EXPECT_GT(differing(out, reference.vst, 512, 812), 300u);  // the second is not
}

// The latency port reports the factor's delay after every run, and Bypass and Mix 0 at
// Output 0 dB give the input delayed by exactly that many frames; back at 1x, no delay.
TEST(Lv2Oversampling, LatencyPortIsTheDelayOfBypassAndDryAtEveryFactor) {
    constexpr uint32_t frames = 1500;
    std::vector<float> in[2];
    for (auto& channel : in) channel.resize(frames);
    fillTestSignal(in[0].data(), in[1].data(), frames, 48000.0, 3);
    for (float factor : {2.0f, 4.0f, 8.0f, 1.0f})
        for (bool bypass : {true, false}) {
            LilvInstance* instance = lilv_plugin_instantiate(lv2.plugin, 48000.0, nullptr);
            float controls[8] = {40, 0.5f, 70, 85, 75, 0, bypass ? 100.0f : 0.0f, bypass ? 0.0f : 1.0f};
            float latency = -1.0f, out[2][frames];
            for (uint32_t i = 0; i < 8; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
            lilv_instance_connect_port(instance, 12, &factor);
            lilv_instance_connect_port(instance, 13, &latency);
            lilv_instance_activate(instance);
            for (uint32_t start = 0; start < frames; start += 500) {
                for (uint32_t c = 0; c < 2; ++c) {
                    lilv_instance_connect_port(instance, 8 + c, &in[c][start]);
                    lilv_instance_connect_port(instance, 10 + c, &out[c][start]);
                }
                lilv_instance_run(instance, 500);
            }
            const int delay = oversamplingLatency(static_cast<int>(factor));
            EXPECT_EQ(latency, static_cast<float>(delay)) << factor;
            EXPECT_EQ(delay == 0, factor == 1.0f);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < static_cast<int>(frames); ++i)
                    ASSERT_EQ(out[c][i], i < delay ? 0.0f : in[c][i - delay]) << factor << " " << bypass << " " << i;
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
}

// Switching the enable port fades without a click, both ways, at 1x and 8x, and the bypassed
// output is then the input delayed by the latency.
TEST(Lv2Bypass, SwitchingTheEnablePortDoesNotClick) {
    for (float factor : {1.0f, 8.0f}) {
        LilvInstance* instance = lilv_plugin_instantiate(lv2.plugin, BypassProbe::rate, nullptr);
        float controls[14], latency = 0.0f;
        lilv_plugin_get_port_ranges_float(lv2.plugin, nullptr, nullptr, controls);
        controls[12] = factor;
        controls[13] = 0.0f;
        for (uint32_t i = 0; i < 14; ++i) lilv_instance_connect_port(instance, i, i == 13 ? &latency : &controls[i]);
        lilv_instance_activate(instance);
        const BypassProbe probe([&](const float* const* in, float* const* out, uint32_t frames, int32_t switchAt, bool bypassed) {
            if (switchAt == 0) controls[7] = bypassed ? 0.0f : 1.0f;
            for (uint32_t c = 0; c < 2; ++c) {
                lilv_instance_connect_port(instance, 8 + c, const_cast<float*>(in[c]));
                lilv_instance_connect_port(instance, 10 + c, out[c]);
            }
            lilv_instance_run(instance, frames);
        });
        probe.expectClickFree(factor == 1.0f ? "LV2 at 1x" : "LV2 at 8x", static_cast<uint32_t>(latency));
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }
}

TEST(Lv2OddHost, ZeroFramesWildInputAndRatesStayBounded) {
    LilvInstance* instance = lilv_plugin_instantiate(lv2.plugin, 1.0, nullptr);  // raised to the floor
    ASSERT_NE(instance, nullptr);
    float controls[8], in[2][4096], out[2][4096];
    for (uint32_t i = 0; i < 8; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
    for (uint32_t c = 0; c < 2; ++c) {
        lilv_instance_connect_port(instance, 8 + c, in[c]);
        lilv_instance_connect_port(instance, 10 + c, out[c]);
    }
    const float wild[] = {nan, inf, -inf, 3e38f, -1e30f, 1e-40f, 0.0f};
    for (size_t i = 0; i < 4096; ++i) in[0][i] = wild[i % 7], in[1][i] = wild[(i * 3 + 1) % 7], out[0][i] = 5.0f;
    lilv_instance_activate(instance);
    lilv_instance_run(instance, 0);
    EXPECT_EQ(out[0][0], 5.0f);
    // Every control at one wild value: the enable switch below 0.5 or not a number bypasses,
    // after the 10 ms fade (80 frames at the floor's 8000 Hz).
    for (float value : {inf, 1e30f, nan, -inf}) {
        std::fill(std::begin(controls), std::end(controls), value);
        lilv_instance_run(instance, 4096);
        for (size_t i = 0; i < 4096; ++i)
            ASSERT_TRUE(value > 0.5f ? std::fabs(out[0][i]) <= 0.98f && std::fabs(out[1][i]) <= 0.98f
                                     : i < 80 || std::memcmp(&out[0][i], &in[0][i], 4) == 0) << value << " " << i;
        EXPECT_TRUE(engineStateFinite(static_cast<const Lv2Instance*>(lilv_instance_get_handle(instance))->engine));
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    for (double rate : {0.0, -48000.0, double(nan), double(inf)})
        EXPECT_EQ(lilv_plugin_instantiate(lv2.plugin, rate, nullptr), nullptr) << rate;
}

}  // namespace
