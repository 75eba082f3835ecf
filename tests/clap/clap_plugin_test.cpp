// The .clap through a host's eyes: descriptor and ports, the parameters in shown units and
// their texts, output bit-identical to the VST 2.4 library at several rates and block sizes,
// values taking effect at their frame, state, reset, odd calls, and unload cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "clap/clap_test_host.h"
#include "support/comma_locale.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"

namespace {

// The same settings both ways: host values for CLAP, their normalized values for VST 2.4.
const double hostValues[8] = {80.0, 0.3, 50.0, 60.0, 20.0, -4.5, 90.0, 0.0};
const float normalizedValues[8] = {0.8f, 0.3f, 0.5f, 0.6f, 0.2f, 0.375f, 0.9f, 0.0f};

Stereo signal(size_t frames, double rate, uint32_t seed) {
    Stereo s(frames);
    fillTestSignal(s.left.data(), s.right.data(), frames, rate, seed);
    return s;
}

TEST(ClapPlugin, DescriptorPortsParametersAndTexts) {
    ClapLibrary library;
    ASSERT_NE(library.factory(), nullptr);
    const clap_plugin_factory_t& factory = *library.factory();
    ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
    const clap_plugin_descriptor_t* d = factory.get_plugin_descriptor(&factory, 0);
    std::string features;
    for (const char* const* f = d->features; *f; ++f) features += std::string(*f) + " ";
    EXPECT_EQ(std::string(d->id) + "|" + d->name + "|" + d->vendor + "|" + d->version + "|" + features,
              std::string(velmoraClapId) + "|Tolvan Velmora|Tolvan Audio Technologies|" +
                  VELMORA_PROJECT_VERSION + "|audio-effect distortion stereo ");
    EXPECT_EQ(factory.create_plugin(&factory, nullptr, velmoraClapId), nullptr);

    ClapPlugin p(library);
    ASSERT_NE(p.params, nullptr);
    EXPECT_EQ(factory.create_plugin(&factory, &p.host.host, "com.other"), nullptr);
    const auto* ports = pluginExtension<clap_plugin_audio_ports_t>(p.plugin, CLAP_EXT_AUDIO_PORTS);
    for (bool input : {true, false}) {
        clap_audio_port_info_t info{};
        ASSERT_EQ(ports->count(p.plugin, input), 1u);
        ASSERT_TRUE(ports->get(p.plugin, 0, input, &info));
        EXPECT_EQ(info.channel_count * 100 + info.in_place_pair, 200u);
        EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS |
                                  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_FALSE(ports->get(p.plugin, 1, input, &info));
    }
    EXPECT_EQ(pluginExtension<clap_plugin_latency_t>(p.plugin, CLAP_EXT_LATENCY)->get(p.plugin), 0u);

    ASSERT_EQ(p.params->count(p.plugin), 9u);
    struct Expected { const char* name; double min, max, defaultValue; const char* text; };
    const Expected expected[8] = {
        {"Drive", 0, 100, 40, "40%"},      {"Tube Bias", 0, 1, 0.5, "0.50 Asym"},
        {"580 Glue", 0, 100, 70, "70%"},   {"Momentum", 0, 100, 85, "85%"},
        {"172 Sieve", 0, 100, 75, "75%"},  {"Output", -18, 18, 0, "0.0 dB"},
        {"Mix", 0, 100, 100, "100%"},      {"Bypass", 0, 1, 0, "Off"}};
    for (uint32_t i = 0; i < 8; ++i) {
        clap_param_info_t info{};
        ASSERT_TRUE(p.params->get_info(p.plugin, i, &info));
        const Expected& e = expected[i];
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, e.name);
        EXPECT_TRUE(info.min_value == e.min && info.max_value == e.max && info.default_value == e.defaultValue &&
                    p.value(i) == e.defaultValue) << e.name;
        EXPECT_EQ(info.flags, CLAP_PARAM_IS_AUTOMATABLE | (i == 7 ? CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS : 0));
        EXPECT_EQ(p.text(i, e.defaultValue), e.text);
    }
    clap_param_info_t info{};
    ASSERT_TRUE(p.params->get_info(p.plugin, 8, &info));
    EXPECT_TRUE(info.id == 8 && info.min_value == 0 && info.max_value == 3 && info.default_value == 0 && p.value(8) == 0);
    EXPECT_STREQ(info.name, "Oversampling");
    EXPECT_EQ(info.flags, CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM | CLAP_PARAM_REQUIRES_PROCESS);  // not automatable
    EXPECT_FALSE(p.params->get_info(p.plugin, 9, &info));
    EXPECT_EQ(p.text(5, -18.0) + "|" + p.text(7, 1.0) + "|" + p.text(9, 1.0), "-18.0 dB|On|refused");
    EXPECT_EQ(p.text(5, -0.04) + "|" + p.text(5, -0.06) + "|" + p.text(1, -0.004), "0.0 dB|-0.1 dB|0.00 Asym");
    EXPECT_EQ(p.text(8, 0) + p.text(8, 1) + p.text(8, 2.4) + p.text(8, 3) + p.text(8, 7), "1x2x4x8x8x");
    char small[4];
    EXPECT_FALSE(p.params->value_to_text(p.plugin, 5, -18.0, small, sizeof small));

    // Texts read back with or without the unit; what is not a value of that parameter is not.
    struct Read { clap_id id; const char* text; double value; };  // value 999: refused
    for (const Read& r : {Read{5, "-6.5 dB", -6.5}, Read{5, " 3 ", 3.0}, Read{0, "55%", 55.0},
                          Read{0, "55 %", 55.0}, Read{0, "150", 100.0}, Read{1, "0.25 Asym", 0.25},
                          Read{7, "On", 1.0}, Read{7, " off ", 0.0}, Read{7, "1", 1.0}, Read{7, "0", 0.0},
                          Read{7, "Onn", 999}, Read{5, "-6,5 dB", -6.5}, Read{5, "+3.0 dB", 3.0},
                          Read{5, "1,000.5", 999}, Read{0, "", 999}, Read{0, "loud", 999},
                          Read{0, "5 dB", 999}, Read{0, "40%%", 999}, Read{0, "nan", 999}, Read{0, "1e999", 999},
                          Read{8, "4x", 2}, Read{8, " 8 ", 3}, Read{8, "2 X", 1}, Read{8, "1\u00d7", 0},
                          Read{8, "3x", 999}, Read{8, "16x", 999}, Read{8, "4xx", 999}, Read{8, "x", 999},
                          Read{8, "-4", 999}, Read{9, "1", 999}}) {
        double value = 999;
        EXPECT_EQ(p.params->text_to_value(p.plugin, r.id, r.text, &value), r.value != 999) << r.text;
        EXPECT_EQ(value, r.value) << r.text;
    }
}

// A host in a comma-decimal locale gets and gives back the very same texts.
TEST(ClapPlugin, TextsIgnoreTheHostsLocale) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active) << "no de_DE.UTF-8 locale (scripts/install-deps.sh generates it)";
    ClapLibrary library;
    ClapPlugin p(library);
    EXPECT_EQ(p.text(1, 0.5) + "|" + p.text(5, -3.0) + "|" + p.text(5, -0.01) + "|" + p.text(0, 40.0),
              "0.50 Asym|-3.0 dB|0.0 dB|40%");
    for (auto [id, text, expected] : {std::tuple{1u, "0.25", 0.25}, {1u, "0,25 Asym", 0.25},
                                      {1u, "0.50 Asym", 0.5}, {5u, "-3.0 dB", -3.0}, {5u, "-4,5", -4.5}}) {
        double value = 999;
        EXPECT_TRUE(p.params->text_to_value(p.plugin, id, text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

// Set before activation (as hosts restoring a project do), then block after block.
TEST(ClapPlugin, OutputIsTheVst2OutputAtEveryRateAndBlockSize) {
    ClapLibrary library;
    PluginLibrary vst;
    ASSERT_TRUE(vst.loaded());
    for (double rate : {8000.0, 44100.0, 96000.0, 192000.0}) {
        for (uint32_t blockSize : {1u, 64u, 441u, 4096u}) {
            ClapPlugin p(library);
            AEffect* effect = vst.create();
            for (clap_id i = 0; i < 8; ++i) {
                p.set(i, hostValues[i]);
                EXPECT_EQ(p.value(i), hostValues[i]);
                effect->setParameter(effect, static_cast<int32_t>(i), normalizedValues[i]);
            }
            ASSERT_TRUE(p.activate(rate));
            dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            const size_t total = 8192;
            Stereo input = signal(total, rate, 3), fromVst(total), fromClap = input;
            for (size_t at = 0; at < total; at += blockSize) {
                const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blockSize, total - at));
                float* in[2] = {input.left.data() + at, input.right.data() + at};
                float* vstOut[2] = {fromVst.left.data() + at, fromVst.right.data() + at};
                float* inPlace[2] = {fromClap.left.data() + at, fromClap.right.data() + at};
                effect->processReplacing(effect, in, vstOut, static_cast<int32_t>(n));
                ASSERT_EQ(p.process(inPlace, inPlace, n), CLAP_PROCESS_CONTINUE);
            }
            EXPECT_TRUE(fromClap == fromVst) << rate << " Hz, blocks of " << blockSize;
            closeEffect(effect);
        }
    }
}

// A value takes effect at its frame: the VST 2.4 library fed the same pieces agrees.
TEST(ClapPlugin, ParameterEventsTakeEffectAtTheirFrame) {
    ClapLibrary library;
    PluginLibrary vst;
    ClapPlugin p(library);
    AEffect* effect = vst.create();
    ASSERT_TRUE(p.activate(48000.0));
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Stereo input = signal(1024, 48000.0, 9), fromClap(1024), fromVst(1024);

    EventList events;
    events.add(0, 0, 80.0);
    events.add(300, 5, -12.0);
    events.add(300, 7, 0.0);
    events.add(700, 1, 0.9);
    events.add(5000, 6, 50.0);  // beyond the block: applies after its last frame
    ASSERT_EQ(p.process(input.data(), fromClap.data(), 1024, &events), CLAP_PROCESS_CONTINUE);

    struct Piece { int32_t from, to; int32_t parameter; float value; };
    for (const Piece& piece : {Piece{0, 300, 0, 0.8f}, Piece{300, 700, 5, (-12.0f / 36.0f) + 0.5f},
                               Piece{700, 1024, 1, 0.9f}}) {
        effect->setParameter(effect, piece.parameter, piece.value);
        float* in[2] = {input.left.data() + piece.from, input.right.data() + piece.from};
        float* out[2] = {fromVst.left.data() + piece.from, fromVst.right.data() + piece.from};
        effect->processReplacing(effect, in, out, piece.to - piece.from);
    }
    EXPECT_TRUE(fromClap == fromVst);
    EXPECT_EQ(p.value(6), 50.0);
    closeEffect(effect);

    // No audio at all: the values still count; frames without buffers are an error.
    EventList late;
    late.add(0, 2, 10.0);
    EXPECT_EQ(p.process(nullptr, nullptr, 0, &late), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(p.value(2), 10.0);
    EXPECT_EQ(p.process(nullptr, fromClap.data(), 16), CLAP_PROCESS_ERROR);
}

TEST(ClapPlugin, StateRestoresEveryParameterAndRefusesBadState) {
    ClapLibrary library;
    ClapPlugin p(library);
    for (clap_id i = 0; i < 8; ++i) p.set(i, hostValues[i]);
    ByteStream saved;
    ASSERT_TRUE(p.state->save(p.plugin, &saved.out));
    ASSERT_EQ(saved.bytes.size(), 52u);

    ClapPlugin q(library);
    ASSERT_TRUE(q.state->load(q.plugin, &saved.in));
    for (clap_id i = 0; i < 8; ++i) EXPECT_EQ(q.value(i), hostValues[i]) << i;

    auto refused = [&](std::vector<unsigned char> bytes, const char* what) {
        ClapPlugin fresh(library);
        fresh.set(0, 12.0);
        ByteStream bad;
        bad.bytes = std::move(bytes);
        EXPECT_FALSE(fresh.state->load(fresh.plugin, &bad.in)) << what;
        EXPECT_EQ(fresh.value(0), 12.0) << what;
        EXPECT_EQ(fresh.value(5), 0.0) << what;
    };
    auto changed = [&](size_t at, unsigned char byte) {
        std::vector<unsigned char> b = saved.bytes;
        b[at] = byte;
        return b;
    };
    refused({}, "empty");
    refused({saved.bytes.begin(), saved.bytes.end() - 1}, "short");
    std::vector<unsigned char> longer = saved.bytes;
    longer.push_back(0);
    refused(longer, "longer");
    refused(changed(0, 'X'), "foreign tag");
    refused(changed(4, 4), "newer version");
    refused(changed(4, 0), "version 0");
    refused(changed(44, 3), "an unknown factor");
    refused({saved.bytes.begin(), saved.bytes.end() - 4}, "version 3 without its zoom");
    std::vector<unsigned char> second(saved.bytes.begin(), saved.bytes.end() - 8);
    second[4] = 2;
    refused(second, "version 2 without its factor");
    refused(changed(8, 9), "other count");
    refused(changed(12 + 3, 0x7f), "a value above 1");   // 0.8f's top byte made 0x7f: huge
    refused(changed(12 + 3, 0xff), "a negative or NaN value");
}

// The frame where an impulse at frame 0 comes out, or -1 when the output is not exactly the
// impulse delayed.
int impulseDelay(ClapPlugin& p, uint32_t frames) {
    Stereo in(frames), out(frames);
    in.left[0] = 0.5f, in.right[0] = -0.25f;
    p.process(in.data(), out.data(), frames);
    const auto at = std::find_if(out.left.begin(), out.left.end(), [](float x) { return x != 0.0f; });
    const int delay = static_cast<int>(at - out.left.begin());
    Stereo expected(frames);
    if (delay < static_cast<int>(frames)) expected.left[delay] = 0.5f, expected.right[delay] = -0.25f;
    return out == expected ? delay : -1;
}

// A factor chosen while active waits for the restart the host is asked for; the activation
// then reports the new latency, which is the delay of Bypass and of the dry path of Mix 0.
// The state carries the factor; a version 1 state has none and loads as 1x.
TEST(ClapPlugin, OversamplingAppliesAtActivationWithItsLatencyAndState) {
    ClapLibrary library;
    ClapPlugin p(library);
    ASSERT_TRUE(p.activate(48000.0));
    p.set(7, 1.0);
    EXPECT_EQ(impulseDelay(p, 64), 0);
    p.set(8, 2.0);
    p.set(8, 2.0);
    EXPECT_EQ(p.host.restartRequests, 1);
    EXPECT_EQ(p.latency() + p.value(8), 2.0);
    EXPECT_EQ(impulseDelay(p, 64), 0);  // not before the restart
    EXPECT_EQ(p.host.latencyChanges, 0);
    ASSERT_TRUE(p.reactivate(48000.0));
    EXPECT_EQ(p.host.latencyChanges, 1);
    const uint32_t latency = p.latency();
    EXPECT_GT(latency, 0u);
    EXPECT_EQ(impulseDelay(p, 400), static_cast<int>(latency));
    p.set(7, 0.0), p.set(6, 0.0);  // Mix 0: the dry path alone
    ASSERT_TRUE(p.reactivate(48000.0));
    EXPECT_EQ(p.host.latencyChanges, 1);
    EXPECT_EQ(impulseDelay(p, 400), static_cast<int>(latency));

    ByteStream saved;
    ASSERT_TRUE(p.state->save(p.plugin, &saved.out));
    EXPECT_EQ(saved.bytes[44], 4);
    ClapPlugin q(library);
    ASSERT_TRUE(q.state->load(q.plugin, &saved.in));
    EXPECT_EQ(q.value(8) + q.host.restartRequests, 2.0);  // inactive: nothing to restart
    ASSERT_TRUE(q.activate(48000.0));
    EXPECT_EQ(q.latency(), latency);
    ByteStream old;
    old.bytes.assign(saved.bytes.begin(), saved.bytes.end() - 8);
    old.bytes[4] = 1;
    ASSERT_TRUE(q.state->load(q.plugin, &old.in));
    EXPECT_EQ(q.value(8) + q.value(6), 0.0);
    EXPECT_EQ(q.host.restartRequests, 1);
    ASSERT_TRUE(q.reactivate(48000.0));
    EXPECT_EQ(q.latency(), 0u);
}

// reset and activation forget the history: processing continues as a fresh instance would.
TEST(ClapPlugin, ResetAndActivationForgetTheHistory) {
    ClapLibrary library;
    Stereo warmUp = signal(4096, 48000.0, 4), probe = signal(2048, 48000.0, 5);
    auto run = [&](ClapPlugin& p, Stereo in) {
        Stereo out(in.left.size());
        p.process(in.data(), out.data(), static_cast<uint32_t>(in.left.size()));
        return out;
    };
    ClapPlugin fresh(library), reset(library), kept(library), reactivated(library);
    for (ClapPlugin* p : {&fresh, &reset, &kept, &reactivated}) ASSERT_TRUE(p->activate(48000.0));
    for (ClapPlugin* p : {&reset, &kept, &reactivated}) run(*p, warmUp);
    reset.plugin->reset(reset.plugin);
    reactivated.plugin->stop_processing(reactivated.plugin);
    reactivated.plugin->deactivate(reactivated.plugin);
    ASSERT_TRUE(reactivated.activate(48000.0));
    const Stereo expected = run(fresh, probe);
    EXPECT_TRUE(run(reset, probe) == expected);
    EXPECT_TRUE(run(reactivated, probe) == expected);
    EXPECT_FALSE(run(kept, probe) == expected);
}

TEST(ClapPlugin, OddRatesAndUnloadCycles) {
    {
        ClapLibrary library;
        ClapPlugin p(library);
        for (double rate : {0.0, -48000.0, std::nan(""), std::numeric_limits<double>::infinity()})
            EXPECT_FALSE(p.plugin->activate(p.plugin, rate, 1, 512)) << rate;
        EXPECT_TRUE(p.activate(1.0));  // any positive rate; the engine raises it to its floor
    }
    Stereo first(0);
    for (int cycle = 0; cycle < 20; ++cycle) {
        ClapLibrary library;
        ASSERT_NE(library.factory(), nullptr) << cycle;
        ClapPlugin p(library);
        ASSERT_TRUE(p.activate(44100.0));
        Stereo in = signal(512, 44100.0, 1), out(512);
        ASSERT_EQ(p.process(in.data(), out.data(), 512), CLAP_PROCESS_CONTINUE);
        if (cycle == 0) first = out;
        EXPECT_TRUE(out == first) << cycle;
    }
}

// Host values of stepped parameters become steps by truncation: 0.6 leaves Bypass off.
TEST(ClapPlugin, SteppedHostValuesAreTruncated) {
    ClapLibrary library;
    ClapPlugin p(library);
    std::string steps;
    for (double bypass : {0.6, 0.999, 1.0, 1.7, -0.5}) p.set(7, bypass), steps += std::to_string(int(p.value(7)));
    for (double choice : {1.999, 2.9, 3.5, -1.0}) p.set(8, choice), steps += std::to_string(int(p.value(8)));
    EXPECT_EQ(steps, "00110" "1230");
}

// A state from a later version with more parameters (their values after ours, then the
// factor) loads what this version knows; each successful load asks the host to rescan the
// values, a refused one does not.
TEST(ClapPlugin, StateLoadsTellTheHostAndLaterStatesLoadWhatTheyKnow) {
    ClapLibrary library;
    ClapPlugin p(library);
    ASSERT_TRUE(p.activate(48000.0));
    p.set(0, 50.0);
    ClapPlugin defaults(library);
    ByteStream saved;
    ASSERT_TRUE(defaults.state->save(defaults.plugin, &saved.out));
    ASSERT_TRUE(p.state->load(p.plugin, &saved.in));
    EXPECT_EQ(p.value(0), 40.0);
    EXPECT_EQ(p.host.rescans, std::vector<uint32_t>{CLAP_PARAM_RESCAN_VALUES});

    std::vector<unsigned char> later = saved.bytes;
    later[8] = 10;  // ten parameters
    later[12] = later[13] = 0;  // Drive's value: 0.0
    later[14] = later[15] = 0;
    const unsigned char half[4] = {0, 0, 0, 0x3f};  // the unknown two: 0.5f
    later.insert(later.begin() + 44, half, half + 4);
    later.insert(later.begin() + 44, half, half + 4);
    later[52] = 8;  // factor 8
    ByteStream fromLater;
    fromLater.bytes = later;
    ASSERT_TRUE(p.state->load(p.plugin, &fromLater.in));
    EXPECT_EQ(p.value(0) + p.value(8), 3.0);
    EXPECT_EQ(p.host.rescans.size(), 2u);

    later[8] = 7;  // fewer than ours: refused
    ByteStream fewer;
    fewer.bytes = later;
    EXPECT_FALSE(p.state->load(p.plugin, &fewer.in));
    EXPECT_EQ(p.host.rescans.size(), 2u);
}

Stereo twice(const std::vector<float>& channel) {
    Stereo s(channel.size());
    s.left = s.right = channel;
    return s;
}

template <class Sample>
std::vector<Sample> widened(const std::vector<float>& x) {
    return std::vector<Sample>(x.begin(), x.end());
}

// 64-bit hosts get the engine's doubles: rounded, they are the 32-bit output at 1x; at 2x
// the high-rate kernel's samples are not rounded either, so they differ a little there.
TEST(ClapPlugin, SixtyFourBitSamplesComeOutUnrounded) {
    ClapLibrary library;
    for (double factor : {0.0, 1.0}) {
        ClapPlugin narrow(library), wide(library);
        for (ClapPlugin* p : {&narrow, &wide}) {
            for (clap_id i = 0; i < 8; ++i) p->set(i, hostValues[i]);
            p->set(8, factor);
            ASSERT_TRUE(p->activate(48000.0));
        }
        const uint32_t n = 3000;
        Stereo input = signal(n, 48000.0, 7), out32(n);
        std::vector<double> in64[2] = {widened<double>(input.left), widened<double>(input.right)};
        std::vector<double> out64[2] = {std::vector<double>(n), std::vector<double>(n)};
        double* in64Channels[2] = {in64[0].data(), in64[1].data()};
        double* out64Channels[2] = {out64[0].data(), out64[1].data()};
        ASSERT_EQ(narrow.process(input.data(), out32.data(), n), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(narrow.constantMask, 0u);
        ASSERT_EQ(wide.processChannels(in64Channels, out64Channels, 2, n), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(wide.constantMask, 0u);
        int unrounded = 0, roundedEqual = 0;
        double largest = 0;
        for (uint32_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c) {
                const double x = out64[c][i];
                const float y = (c == 0 ? out32.left : out32.right)[i];
                unrounded += x != static_cast<float>(x);
                roundedEqual += static_cast<float>(x) == y;
                largest = std::max(largest, std::fabs(x - y));
            }
        EXPECT_GT(unrounded, int(n)) << factor;
        if (factor == 0.0) {
            EXPECT_EQ(roundedEqual, int(2 * n));
        } else {
            EXPECT_TRUE(roundedEqual < int(2 * n) && largest < 1e-5) << largest;
        }
    }
}

// The mono configuration: one channel in and out, the stereo plug-in's left output for
// that channel on both sides, in 32 and 64-bit samples, at 1x and 4x, across a value's
// frame and pieces longer than the scratch buffers. Chosen only while inactive.
TEST(ClapPlugin, MonoIsTheStereoOutputOfIdenticalChannels) {
    ClapLibrary library;
    for (double factor : {0.0, 2.0}) {
        ClapPlugin stereo(library), mono32(library), mono64(library);
        const auto* configs = pluginExtension<clap_plugin_audio_ports_config_t>(mono32.plugin, CLAP_EXT_AUDIO_PORTS_CONFIG);
        ASSERT_NE(configs, nullptr);
        ASSERT_EQ(configs->count(mono32.plugin), 2u);
        clap_audio_ports_config_t config{};
        ASSERT_TRUE(configs->get(mono32.plugin, 1, &config));
        EXPECT_EQ(std::string(config.name) + config.main_input_port_type + config.main_output_port_type,
                  "Monomonomono");
        EXPECT_EQ(config.id * 1000 + config.main_input_channel_count * 10 + config.main_output_channel_count, 1011u);
        ASSERT_TRUE(configs->get(mono32.plugin, 0, &config));
        EXPECT_EQ(config.main_output_channel_count + std::string(config.main_output_port_type).size(), 8u);
        EXPECT_FALSE(configs->get(mono32.plugin, 2, &config));
        for (ClapPlugin* p : {&mono32, &mono64}) ASSERT_TRUE(configs->select(p->plugin, 1));
        const auto* ports = pluginExtension<clap_plugin_audio_ports_t>(mono32.plugin, CLAP_EXT_AUDIO_PORTS);
        clap_audio_port_info_t port{};
        ASSERT_TRUE(ports->get(mono32.plugin, 0, false, &port));
        EXPECT_EQ(port.channel_count, 1u);
        EXPECT_STREQ(port.port_type, "mono");
        for (ClapPlugin* p : {&stereo, &mono32, &mono64}) {
            for (clap_id i = 0; i < 8; ++i) p->set(i, hostValues[i]);
            p->set(8, factor);
            ASSERT_TRUE(p->activate(44100.0));
        }
        EXPECT_FALSE(configs->select(mono32.plugin, 0));  // active
        EXPECT_FALSE(configs->select(mono32.plugin, 2));

        const uint32_t n = 1500;
        Stereo source = signal(n, 44100.0, 11);
        Stereo both = twice(source.left), fromStereo(n);
        std::vector<float> out32(n);
        std::vector<double> in64 = widened<double>(source.left), out64(n), expected64(n);
        float* in32Channel[1] = {source.left.data()};
        float* out32Channel[1] = {out32.data()};
        double* in64Channel[1] = {in64.data()};
        double* out64Channel[1] = {out64.data()};
        EventList events[3];
        for (EventList& e : events) e.add(700, 0, 90.0);
        ASSERT_EQ(stereo.process(both.data(), fromStereo.data(), n, &events[0]), CLAP_PROCESS_CONTINUE);
        ASSERT_EQ(mono32.processChannels(in32Channel, out32Channel, 1, n, &events[1]), CLAP_PROCESS_CONTINUE);
        ASSERT_EQ(mono64.processChannels(in64Channel, out64Channel, 1, n, &events[2]), CLAP_PROCESS_CONTINUE);
        EXPECT_TRUE(out32 == fromStereo.left) << factor;
        EXPECT_TRUE(fromStereo.right == fromStereo.left);
        std::vector<float> rounded(out64.begin(), out64.end());
        EXPECT_TRUE(factor != 0.0 || rounded == out32);
        // A stereo buffer is refused by the mono instance only where a channel is missing.
        EXPECT_EQ(mono32.process(both.data(), fromStereo.data(), 64), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(stereo.processChannels(in32Channel, out32Channel, 1, 64), CLAP_PROCESS_ERROR);
    }
}

}  // namespace
