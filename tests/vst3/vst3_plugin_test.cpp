// The VST 3 module through its binary interface, compared with the VST 2.4 library wherever
// both must agree: the factory and class, references, buses, parameters and their texts,
// processing with mid-block changes, state, the reset on reactivation and reloading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "support/comma_locale.h"
#include "support/noise.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"
#include "vst3_test_host.h"

namespace {

constexpr double rate = 48000.0;

using Stereo = std::pair<std::vector<float>, std::vector<float>>;

Stereo testSignal(size_t frames, uint32_t seed) {
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    fillTestSignal(s.first.data(), s.second.data(), frames, rate, seed);
    return s;
}

// The published VST 2 to VST 3 rule's identifier string, laid out as the platform lays out
// an identifier read from a string (COM swaps the first three fields' bytes).
std::vector<char> uidFromString(const char* hex) {
    std::vector<char> bytes;
    for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<char>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16)));
#ifdef _WIN32
    std::swap(bytes[0], bytes[3]);
    std::swap(bytes[1], bytes[2]);
    std::swap(bytes[4], bytes[5]);
    std::swap(bytes[6], bytes[7]);
#endif
    return bytes;
}

std::u16string u16(const char* text) { return std::u16string(text, text + std::strlen(text)); }

void processVst2(AEffect* effect, Stereo& audio, size_t from, size_t to) {
    float* channels[2] = {audio.first.data() + from, audio.second.data() + from};
    effect->processReplacing(effect, channels, channels, static_cast<int32_t>(to - from));
}

TEST(Vst3Module, FactoryDescribesOneEffectUnderTheVst2DerivedClassId) {
    Vst3Module module;
    IPluginFactory* factory = module.factory();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->vtbl->countClasses(factory), 1);
    PFactoryInfo factoryInfo{};
    ASSERT_EQ(factory->vtbl->getFactoryInfo(factory, &factoryInfo), kResultOk);
    EXPECT_STREQ(factoryInfo.vendor, "Tolvan Audio Technologies");

    IPluginFactory* factory3 = queryAs<IPluginFactory>(unknown(factory), IPluginFactory3_iid);
    ASSERT_EQ(factory3, factory);
    PClassInfo2 info{};
    ASSERT_EQ(factory->vtbl->getClassInfo2(factory, 0, &info), kResultOk);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "Tolvan Velmora");
    EXPECT_STREQ(info.subCategories, "Fx|Distortion");
    EXPECT_STREQ(info.vendor, "Tolvan Audio Technologies");
    // 'VST', 'VELM' and "tolvan ve".
    EXPECT_EQ(std::vector<char>(info.cid, info.cid + 16), uidFromString("56535456454C4D746F6C76616E207665"));
    PClassInfoW wide{};
    ASSERT_EQ(factory->vtbl->getClassInfoUnicode(factory, 0, &wide), kResultOk);
    EXPECT_EQ(std::u16string(wide.name), u"Tolvan Velmora");
    EXPECT_EQ(factory->vtbl->getClassInfo(factory, 1, reinterpret_cast<PClassInfo*>(&info)), kInvalidArgument);

    void* object = &info;
    TUID otherClass = {};
    EXPECT_EQ(factory->vtbl->createInstance(factory, otherClass, IComponent_iid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->vtbl->createInstance(factory, info.cid, IPlugView_iid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    release(factory3);
}

TEST(Vst3Module, InterfacesShareOneCountReleasedInAnyOrder) {
    Vst3Module module;
    IComponent* component = module.create<IComponent>(IComponent_iid);
    ASSERT_NE(component, nullptr);
    auto* processor = queryAs<IAudioProcessor>(unknown(component), IAudioProcessor_iid);
    auto* controller = queryAs<IEditController>(unknown(processor), IEditController_iid);
    auto* base = queryAs<FUnknown>(unknown(controller), IPluginBase_iid);
    ASSERT_TRUE(processor && controller && base);
    EXPECT_EQ(static_cast<void*>(base), static_cast<void*>(component));
    EXPECT_EQ(queryAs<FUnknown>(unknown(component), IPlugView_iid), nullptr);
    RecordingHandler handler;  // held from setComponentHandler to terminate
    controller->vtbl->setComponentHandler(controller, &handler.handler);
    EXPECT_EQ(handler.references, 1);
    component->vtbl->terminate(component);
    EXPECT_EQ(handler.references, 0);
    EXPECT_EQ(component->vtbl->addRef(component), 5u);
    EXPECT_EQ(release(controller), 4u);
    EXPECT_EQ(release(component), 3u);
    EXPECT_EQ(release(base), 2u);
    EXPECT_EQ(release(component), 1u);
    EXPECT_EQ(release(processor), 0u);
}

TEST(Vst3Module, OneStereoBusAt32BitsAndNothingElse) {
    Vst3Module module;
    Vst3Instance plugin(module, rate);
    ASSERT_NE(plugin.component, nullptr);
    IComponent* c = plugin.component;
    IAudioProcessor* p = plugin.processor;
    EXPECT_EQ(c->vtbl->getBusCount(c, kAudio, kInput), 1);
    EXPECT_EQ(c->vtbl->getBusCount(c, kEvent, kInput), 0);
    BusInfo bus{};
    ASSERT_EQ(c->vtbl->getBusInfo(c, kAudio, kOutput, 0, &bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(c->vtbl->getBusInfo(c, kAudio, kOutput, 1, &bus), kInvalidArgument);

    SpeakerArrangement stereo = kSpeakerStereo, mono = 0x80000, pair[2] = {kSpeakerStereo, kSpeakerStereo};
    EXPECT_EQ(p->vtbl->setBusArrangements(p, &stereo, 1, &stereo, 1), kResultOk);
    EXPECT_EQ(p->vtbl->setBusArrangements(p, &mono, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(p->vtbl->setBusArrangements(p, pair, 2, &stereo, 1), kResultFalse);
    EXPECT_EQ(p->vtbl->canProcessSampleSize(p, kSample32), kResultOk);
    EXPECT_EQ(p->vtbl->canProcessSampleSize(p, kSample64), kResultFalse);
    ProcessSetup wide{kRealtime, kSample64, 512, rate};
    EXPECT_EQ(p->vtbl->setupProcessing(p, &wide), kResultFalse);
    EXPECT_EQ(p->vtbl->getLatencySamples(p), 0u);

    float left[4] = {0.5f, 0.5f, 0.5f, 0.5f}, right[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(plugin.process(left, right, 4, nullptr, kSample64), kInvalidArgument);
    EXPECT_EQ(left[3], 0.5f);
}

TEST(Vst3Module, ParametersMatchTheVst2TextsAndParseBack) {
    Vst3Module module;
    PluginLibrary vst2;
    ASSERT_TRUE(vst2.loaded());
    AEffect* effect = vst2.create();
    Vst3Instance plugin(module, rate);
    IEditController* e = plugin.controller;
    ASSERT_EQ(e->vtbl->getParameterCount(e), 9);
    for (int32_t i = 0; i < 8; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(e->vtbl->getParameterInfo(e, i, &info), kResultOk);
        char name[16] = {}, vst2Display[16] = {};
        dispatch(effect, effGetParamName, i, 0, name);
        EXPECT_EQ(std::u16string(info.title), u16(name));
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(info.defaultNormalizedValue, effect->getParameter(effect, i));
        EXPECT_EQ(info.stepCount, i == 7 ? 1 : 0);
        EXPECT_EQ(info.flags, i == 7 ? kParameterCanAutomate | kParameterIsBypass : kParameterCanAutomate);
        for (float value : {0.0f, 0.37f, 1.0f}) {
            effect->setParameter(effect, i, value);
            dispatch(effect, effGetParamDisplay, i, 0, vst2Display);
            String128 text{};
            ASSERT_EQ(e->vtbl->getParamStringByValue(e, static_cast<ParamID>(i), value, text), kResultOk);
            // The VST 2.4 library's Bypass reads 0 or 100; here it has its names.
            EXPECT_EQ(std::u16string(text), i == 7 ? (value > 0.5f ? u"On" : u"Off") : u16(vst2Display));
            ParamValue parsed = -1.0;
            ASSERT_EQ(e->vtbl->getParamValueByString(e, static_cast<ParamID>(i), text, &parsed), kResultOk);
            // The stepped Bypass reads back as its nearest position.
            EXPECT_NEAR(parsed, i == 7 ? std::nearbyint(value) : value, 0.006) << i << " " << vst2Display;
        }
    }
    std::u16string withUnit = u" -18.0 dB", foreign = u"loud", trailing = u"40 %x";
    ParamValue value = -1.0;
    EXPECT_EQ(e->vtbl->getParamValueByString(e, 5, withUnit.data(), &value), kResultOk);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(e->vtbl->getParamValueByString(e, 0, foreign.data(), &value), kResultFalse);
    EXPECT_EQ(e->vtbl->getParamValueByString(e, 0, trailing.data(), &value), kResultFalse);
    EXPECT_EQ(e->vtbl->getParamValueByString(e, 9, withUnit.data(), &value), kInvalidArgument);
    for (auto [id, typed, expected] : {std::tuple{7u, u"on", 1.0}, {7u, u"1", 1.0}, {7u, u"0", 0.0},
                                       {7u, u"Off", 0.0}, {5u, u"-4,5 dB", 0.375}}) {
        std::u16string copy = typed;
        value = -1.0;
        EXPECT_EQ(e->vtbl->getParamValueByString(e, id, copy.data(), &value), kResultOk);
        EXPECT_EQ(value, expected);
    }
    // Just below 0 dB reads "0.0", as just above does; the VST 2.4 library keeps its "-0.0".
    String128 nearZero{};
    ASSERT_EQ(e->vtbl->getParamStringByValue(e, 5, 0.4999, nearZero), kResultOk);
    EXPECT_EQ(std::u16string(nearZero), u"0.0");

    ParameterInfo info{};
    ASSERT_EQ(e->vtbl->getParameterInfo(e, 8, &info), kResultOk);
    EXPECT_EQ(std::u16string(info.title), u"Oversampling");
    EXPECT_TRUE(info.id == 8 && info.stepCount == 3 && info.defaultNormalizedValue == 0.0 &&
                info.flags == kParameterIsList && plugin.parameter(8) == 0.0);  // not automatable
    EXPECT_EQ(e->vtbl->getParameterInfo(e, 9, &info), kInvalidArgument);
    std::u16string texts;
    for (double normalized : {0.0, 0.3, 0.7, 1.0, 2.0}) {
        String128 text{};
        ASSERT_EQ(e->vtbl->getParamStringByValue(e, 8, normalized, text), kResultOk);
        texts += std::u16string(text) + u" ";
    }
    EXPECT_EQ(texts, u"1x 2x 4x 8x 8x ");
    for (auto [text, expected] : {std::pair{u" 8x ", 1.0}, {u"2\u00d7", 1 / 3.0}, {u"3x", -1.0}, {u"4 dB", -1.0}}) {
        std::u16string typed = text;
        value = -1.0;
        EXPECT_EQ(e->vtbl->getParamValueByString(e, 8, typed.data(), &value), expected < 0 ? kResultFalse : kResultOk);
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(e->vtbl->normalizedParamToPlain(e, 8, 2 / 3.0) * 10 + e->vtbl->plainParamToNormalized(e, 8, 3.0), 21.0);
    closeEffect(effect);
}

// A host in a comma-decimal locale gets and gives back the very same texts.
TEST(Vst3Module, TextsIgnoreTheHostsLocale) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active) << "no de_DE.UTF-8 locale (scripts/install-deps.sh generates it)";
    Vst3Module module;
    Vst3Instance plugin(module, rate);
    IEditController* e = plugin.controller;
    std::u16string texts;
    for (auto [id, normalized] : {std::pair{1u, 0.5}, {5u, 0.5 - 3.0 / 36.0}, {0u, 0.4}}) {
        String128 text{};
        ASSERT_EQ(e->vtbl->getParamStringByValue(e, id, normalized, text), kResultOk);
        texts += std::u16string(text) + u"|";
    }
    EXPECT_EQ(texts, u"0.50|-3.0|40|");
    for (auto [id, typed, expected] : {std::tuple{1u, u"0.25", 0.25}, {1u, u"0,25", 0.25}, {5u, u"-4.5 dB", 0.375}}) {
        std::u16string copy = typed;
        ParamValue value = -1.0;
        EXPECT_EQ(e->vtbl->getParamValueByString(e, id, copy.data(), &value), kResultOk);
        EXPECT_EQ(value, expected);
    }
}

// Automation points split the block where they fall: the VST 2.4 library processing the same
// pieces with setParameter between them gives the very same samples.
TEST(Vst3Module, OutputAndQueuePointsMatchTheVst2LibraryBitForBit) {
    Vst3Module module;
    PluginLibrary vst2;
    ASSERT_TRUE(vst2.loaded());
    AEffect* effect = vst2.create();
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    Vst3Instance plugin(module, rate);
    Stereo expected = testSignal(4096, 7), actual = expected;

    effect->setParameter(effect, 0, 0.8f);
    effect->setParameter(effect, 5, 0.55f);
    processVst2(effect, expected, 0, 1024);
    ParameterChanges atStart{{0, {{0, 0.8}}}, {5, {{0, 0.55}}}};
    plugin.process(actual.first.data(), actual.second.data(), 1024, &atStart);

    // Drive at 100 and 300, Bypass on at 400 and off at 450, 580 Glue at the block's end: it
    // arrives with the next block. A queue for no parameter changes nothing.
    processVst2(effect, expected, 1024, 1124);
    effect->setParameter(effect, 0, 0.9f);
    processVst2(effect, expected, 1124, 1324);
    effect->setParameter(effect, 0, 0.2f);
    processVst2(effect, expected, 1324, 1424);
    effect->setParameter(effect, 7, 1.0f);
    processVst2(effect, expected, 1424, 1474);
    effect->setParameter(effect, 7, 0.0f);
    processVst2(effect, expected, 1474, 2048);
    effect->setParameter(effect, 2, 0.3f);
    processVst2(effect, expected, 2048, 4096);
    ParameterChanges midBlock{{0, {{100, 0.9}, {300, 0.2}}}, {7, {{400, 1.0}, {450, 0.0}}},
                              {2, {{1024, 0.3}}}, {99, {{10, 1.0}}}};
    plugin.process(actual.first.data() + 1024, actual.second.data() + 1024, 1024, &midBlock);
    EXPECT_FLOAT_EQ(plugin.parameter(2), 0.3f);
    plugin.process(actual.first.data() + 2048, actual.second.data() + 2048, 2048);

    for (size_t i = 0; i < expected.first.size(); ++i) {
        ASSERT_EQ(actual.first[i], expected.first[i]) << "left " << i;
        ASSERT_EQ(actual.second[i], expected.second[i]) << "right " << i;
    }
    EXPECT_NE(actual.first[1500], testSignal(4096, 7).first[1500]);
    closeEffect(effect);
}

TEST(Vst3Module, StateRoundTripsAndBadStateChangesNothing) {
    Vst3Module module;
    Vst3Instance source(module, rate), target(module, rate);
    source.setParameter(0, 0.123);
    source.setParameter(7, 1.0);
    MemoryStream saved;
    ASSERT_EQ(source.component->vtbl->getState(source.component, &saved.stream), kResultOk);
    ASSERT_EQ(saved.bytes.size(), 44u);
    EXPECT_EQ(std::string(saved.bytes.begin(), saved.bytes.begin() + 4), "TVLM");

    saved.position = 0;
    saved.largestRead = 3;
    ASSERT_EQ(target.component->vtbl->setState(target.component, &saved.stream), kResultOk);
    for (ParamID i = 0; i < 8; ++i) EXPECT_EQ(target.parameter(i), source.parameter(i)) << i;

    auto refused = [&](std::vector<unsigned char> bytes) {
        target.setParameter(3, 0.25);
        MemoryStream bad;
        bad.bytes = std::move(bytes);
        const bool rejected = target.component->vtbl->setState(target.component, &bad.stream) == kResultFalse;
        bad.position = 0;
        const bool controllerRejected =
            target.controller->vtbl->setComponentState(target.controller, &bad.stream) == kResultFalse;
        return rejected && controllerRejected && target.parameter(3) == 0.25f && target.parameter(0) == 0.123f;
    };
    std::vector<unsigned char> good = saved.bytes;
    EXPECT_TRUE(refused({good.begin(), good.begin() + 43}));
    EXPECT_TRUE(refused({}));
    auto patched = [&](size_t at, unsigned char byte) {
        std::vector<unsigned char> copy = good;
        copy[at] = byte;
        return copy;
    };
    EXPECT_TRUE(refused(patched(0, 'X')));       // foreign tag
    EXPECT_TRUE(refused(patched(4, 3)));         // newer version
    EXPECT_TRUE(refused(patched(40, 3)));        // no factor of 1, 2, 4 or 8
    EXPECT_TRUE(refused(patched(8 + 4 * 3 + 3, 0x7F)));  // Momentum not a number
    EXPECT_TRUE(refused(patched(8 + 4 * 3 + 3, 0x40)));  // Momentum above 1

    // The VST 2.4 build's bank as a Steinberg host saves it, behind its record of the host's
    // bypass switch, which becomes the Bypass parameter.
    auto vst2Bank = [](uint32_t hostBypass, const char* id, float drive) {
        std::vector<unsigned char> b;
        auto put = [&b](uint32_t word) {
            for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<unsigned char>(word >> shift));
        };
        auto tag = [&put](const char* code) { put(static_cast<uint32_t>(code[0] << 24 | code[1] << 16 | code[2] << 8 | code[3])); };
        tag("VstW"), put(8), put(1), put(hostBypass);
        tag("CcnK"), put(0), tag("FxBk"), put(2), tag(id), put(1000), put(1), put(0), b.resize(b.size() + 124);
        tag("CcnK"), put(0), tag("FxCk"), put(1), tag(id), put(1000), put(8), b.resize(b.size() + 28);
        for (float value : {drive, 0.5f, 0.7f, 0.25f, 0.75f, 0.5f, 1.0f, 0.0f}) {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            put(bits);
        }
        return b;
    };
    EXPECT_TRUE(refused(vst2Bank(0, "VELN", 0.9f)));
    for (uint32_t hostBypass : {0u, 1u}) {
        MemoryStream bank;
        bank.bytes = vst2Bank(hostBypass, "VELM", 0.9f);
        ASSERT_EQ(target.component->vtbl->setState(target.component, &bank.stream), kResultOk);
        EXPECT_EQ(target.parameter(0), 0.9f);
        EXPECT_EQ(target.parameter(3), 0.25f);
        EXPECT_EQ(target.parameter(7), hostBypass ? 1.0 : 0.0);
        target.setParameter(0, 0.123);
    }

    MemoryStream controllerState;
    IEditController* e = target.controller;
    ASSERT_EQ(e->vtbl->getState(e, &controllerState.stream), kResultOk);
    controllerState.position = 0;
    EXPECT_EQ(e->vtbl->setState(e, &controllerState.stream), kResultOk);
    saved.position = 0;
    EXPECT_EQ(e->vtbl->setState(e, &saved.stream), kResultFalse);  // the component's, not its own
}

// Deactivating and activating again forgets the signal: silence afterwards comes out exactly
// as from a fresh instance, modulator phase included.
TEST(Vst3Module, ReactivationForgetsTheHistory) {
    Vst3Module module;
    Vst3Instance used(module, rate), fresh(module, rate);
    Stereo loud{std::vector<float>(8192), std::vector<float>(8192)};
    NoiseSource noise{99};
    for (size_t i = 0; i < loud.first.size(); ++i) {
        loud.first[i] = static_cast<float>(0.9 * noise.symmetric());
        loud.second[i] = static_cast<float>(0.9 * noise.symmetric());
    }
    used.process(loud.first.data(), loud.second.data(), 8192);
    used.component->vtbl->setActive(used.component, 0);
    used.component->vtbl->setActive(used.component, 1);

    Stereo afterReset = testSignal(2048, 3), fromFresh = afterReset;
    used.process(afterReset.first.data(), afterReset.second.data(), 2048);
    fresh.process(fromFresh.first.data(), fromFresh.second.data(), 2048);
    EXPECT_EQ(afterReset, fromFresh);
}

// The frame where an impulse at frame 0 comes out, or -1 when the output is not exactly the
// impulse delayed.
int impulseDelay(Vst3Instance& plugin, int32_t frames) {
    Stereo audio{std::vector<float>(frames), std::vector<float>(frames)}, expected = audio;
    audio.first[0] = 0.5f, audio.second[0] = -0.25f;
    plugin.process(audio.first.data(), audio.second.data(), frames);
    const auto at = std::find_if(audio.first.begin(), audio.first.end(), [](float x) { return x != 0.0f; });
    const auto delay = at - audio.first.begin();
    if (delay < frames) expected.first[delay] = 0.5f, expected.second[delay] = -0.25f;
    return audio == expected ? static_cast<int>(delay) : -1;
}

// Choosing a factor asks the host to read the latency again; the factor applies at the next
// block, and the latency reported is the delay of Bypass and of the dry path of Mix 0. The
// component state carries it; a version 1 state has none and loads as 1x.
TEST(Vst3Module, OversamplingReportsItsLatencyAndTravelsInTheState) {
    Vst3Module module;
    RecordingHandler handler;  // outlives the instance, which holds it
    Vst3Instance plugin(module, rate);
    plugin.controller->vtbl->setComponentHandler(plugin.controller, &handler.handler);
    IAudioProcessor* p = plugin.processor;
    plugin.setParameter(7, 1.0);
    EXPECT_EQ(impulseDelay(plugin, 64), 0);
    plugin.setParameter(8, 2 / 3.0);
    plugin.setParameter(8, 0.6);
    EXPECT_EQ(handler.calls, std::vector<std::string>{"restart 8"});
    const int delay = impulseDelay(plugin, 400);  // the new factor from this block on
    const uint32_t latency = p->vtbl->getLatencySamples(p);
    EXPECT_EQ(delay, static_cast<int>(latency));
    EXPECT_GT(latency, 0u);
    for (double bypass : {1.0, 0.0}) {  // Bypass; Mix 0
        plugin.setParameter(7, bypass), plugin.setParameter(6, 0.0);
        plugin.component->vtbl->setActive(plugin.component, 0);
        plugin.component->vtbl->setActive(plugin.component, 1);
        EXPECT_EQ(p->vtbl->getLatencySamples(p), latency);
        EXPECT_EQ(impulseDelay(plugin, 400), static_cast<int>(latency));
    }

    MemoryStream saved;
    ASSERT_EQ(plugin.component->vtbl->getState(plugin.component, &saved.stream), kResultOk);
    EXPECT_EQ(saved.bytes.at(40), 4);
    Vst3Instance other(module, rate);
    saved.position = 0;
    ASSERT_EQ(other.controller->vtbl->setComponentState(other.controller, &saved.stream), kResultOk);
    EXPECT_EQ(other.parameter(8), 2 / 3.0);
    saved.bytes.resize(40);
    saved.bytes[4] = 1, saved.position = 0;
    ASSERT_EQ(plugin.component->vtbl->setState(plugin.component, &saved.stream), kResultOk);
    EXPECT_EQ(plugin.parameter(8), 0.0);
    EXPECT_EQ(handler.calls.back(), "restart 8");
    ParameterChanges toFour{{8, {{5, 2 / 3.0}}}};  // a processor's queue: no host call there
    plugin.process(nullptr, nullptr, 0, &toFour);
    EXPECT_EQ(handler.calls.size(), 2u);
    EXPECT_EQ(p->vtbl->getLatencySamples(p), latency);
}

TEST(Vst3Module, ReloadsAndRunsAfterUnloadCycles) {
    for (int cycle = 0; cycle < 12; ++cycle) {
        Vst3Module module;
        ASSERT_NE(module.factory(), nullptr) << cycle;
        Vst3Instance plugin(module, rate);
        ASSERT_NE(plugin.component, nullptr) << cycle;
        Stereo audio = testSignal(256, 1);
        EXPECT_EQ(plugin.process(audio.first.data(), audio.second.data(), 256), kResultOk);
        EXPECT_NE(audio, testSignal(256, 1));
    }
}

}  // namespace
