// The VST 3 module through its binary interface, compared with the VST 2.4 library wherever
// both must agree: the factory and class, references, buses, parameters and their texts,
// processing with mid-block changes, state, the reset on reactivation and reloading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
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

// The bundle's module information says what the factory says, so hosts that read it list the
// class without loading the module.
TEST(Vst3Module, ModuleInformationMatchesTheFactory) {
    const std::string module = VELMORA_VST3_MODULE_PATH;
    std::ifstream file(module.substr(0, module.rfind('/')) + "/../Resources/moduleinfo.json");
    ASSERT_TRUE(file.good());
    const std::string json{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::string> values;  // every key's text value, as "Key=value"
    for (size_t key = json.find('"'); key != std::string::npos;) {
        const size_t keyEnd = json.find('"', key + 1);
        if (keyEnd == std::string::npos || json.compare(keyEnd + 1, 3, ": \"") != 0) {
            key = keyEnd == std::string::npos ? keyEnd : json.find('"', keyEnd + 1);
            continue;
        }
        const size_t valueEnd = json.find('"', keyEnd + 4);
        values.push_back(json.substr(key + 1, keyEnd - key - 1) + "=" + json.substr(keyEnd + 4, valueEnd - keyEnd - 4));
        key = json.find('"', valueEnd + 1);
    }
    Vst3Module vst3;
    IPluginFactory* factory = vst3.factory();
    PClassInfo2 info{};
    ASSERT_EQ(factory->vtbl->getClassInfo2(factory, 0, &info), kResultOk);
    std::string cidText;
    for (const std::string& value : values)
        if (value.rfind("CID=", 0) == 0) cidText = value.substr(4);
    ASSERT_EQ(cidText.size(), 32u);
    EXPECT_EQ(uidFromString(cidText.c_str()), std::vector<char>(info.cid, info.cid + 16));
    const std::vector<std::string> expected = {
        "Name=Tolvan_Velmora", "Version=" + std::string(info.version), "Vendor=" + std::string(info.vendor),
        "URL=", "E-Mail=", "CID=" + cidText, "Category=" + std::string(info.category),
        "Name=" + std::string(info.name), "Vendor=" + std::string(info.vendor),
        "Version=" + std::string(info.version), "SDKVersion=" + std::string(info.sdkVersion)};
    EXPECT_EQ(values, expected);
    EXPECT_NE(json.find("\"Sub Categories\": [\"Fx\", \"Distortion\"]"), std::string::npos);
    EXPECT_STREQ(info.subCategories, "Fx|Distortion");
    EXPECT_NE(json.find("\"Cardinality\": 2147483647"), std::string::npos);
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

TEST(Vst3Module, OneStereoOrMonoBusAt32Or64Bits) {
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
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(p->vtbl->getBusArrangement(p, kInput, 0, &arrangement), kResultOk);
    EXPECT_EQ(arrangement, kSpeakerStereo);
    EXPECT_EQ(p->vtbl->setBusArrangements(p, &mono, 1, &mono, 1), kResultOk);
    EXPECT_EQ(p->vtbl->getBusArrangement(p, kOutput, 0, &arrangement), kResultOk);
    EXPECT_EQ(arrangement, kSpeakerMono);
    ASSERT_EQ(c->vtbl->getBusInfo(c, kAudio, kInput, 0, &bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 1);
    EXPECT_EQ(std::u16string(bus.name), u"Mono In");
    EXPECT_EQ(p->vtbl->setBusArrangements(p, &stereo, 1, &stereo, 1), kResultOk);

    // The validator's one complaint: hosts ask which parts of the process context it reads.
    auto* requirements = queryAs<IProcessContextRequirements>(unknown(c), IProcessContextRequirements_iid);
    ASSERT_NE(requirements, nullptr);
    EXPECT_EQ(requirements->vtbl->getProcessContextRequirements(requirements), 0u);
    release(requirements);
    EXPECT_EQ(p->vtbl->canProcessSampleSize(p, kSample32), kResultOk);
    EXPECT_EQ(p->vtbl->canProcessSampleSize(p, kSample64), kResultOk);
    EXPECT_EQ(p->vtbl->canProcessSampleSize(p, 2), kResultFalse);
    ProcessSetup unknownSize{kRealtime, 2, 512, rate};
    EXPECT_EQ(p->vtbl->setupProcessing(p, &unknownSize), kResultFalse);
    EXPECT_EQ(p->vtbl->getLatencySamples(p), 0u);

    float left[4] = {0.5f, 0.5f, 0.5f, 0.5f}, right[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(plugin.process(left, right, 4, nullptr, 2), kInvalidArgument);
    EXPECT_EQ(left[3], 0.5f);
}

// 64-bit hosts get the engine's double output unrounded: at 1x it rounds to the 32-bit
// output exactly; oversampled, the kernel's signal is not rounded on the way either, so the
// two differ by no more than 32-bit rounding.
TEST(Vst3Module, SixtyFourBitSamplesAreTheEnginesOutputUnrounded) {
    Vst3Module module;
    for (double choice : {0.0, 1 / 3.0}) {
        Vst3Instance single(module, rate), wide(module, rate, kSample64);
        for (Vst3Instance* plugin : {&single, &wide}) {
            plugin->send(8, choice), plugin->send(0, 0.8);
            plugin->component->vtbl->setActive(plugin->component, 0);
            plugin->component->vtbl->setActive(plugin->component, 1);
        }
        Stereo audio = testSignal(2048, 4);
        std::vector<double> left(audio.first.begin(), audio.first.end()), right(audio.second.begin(), audio.second.end());
        ParameterChanges changes{{5, {{900, 0.7}}}}, same = changes;
        single.process(audio.first.data(), audio.second.data(), 2048, &changes);
        ASSERT_EQ(wide.process64(left.data(), right.data(), 2048, &same), kResultOk);
        size_t unrounded = 0;
        double largest = 0.0;
        for (size_t i = 0; i < left.size(); ++i) {
            unrounded += static_cast<double>(static_cast<float>(left[i])) != left[i];
            largest = std::max({largest, std::fabs(left[i] - audio.first[i]), std::fabs(right[i] - audio.second[i])});
            if (choice == 0.0) {
                ASSERT_EQ(static_cast<float>(left[i]), audio.first[i]) << i;
                ASSERT_EQ(static_cast<float>(right[i]), audio.second[i]) << i;
            }
        }
        EXPECT_GT(unrounded, 1000u) << choice;
        EXPECT_LT(largest, 1e-6) << choice;
    }
}

// Mono in and out is the stereo plug-in fed the signal on both channels, its left channel
// written, in blocks longer than the mono buffers and with a point mid-block.
TEST(Vst3Module, MonoIsTheStereoLeftOfTheSameSignalTwice) {
    Vst3Module module;
    Vst3Instance mono(module, rate), stereo(module, rate);
    SpeakerArrangement arrangement = kSpeakerMono;
    mono.component->vtbl->setActive(mono.component, 0);
    ASSERT_EQ(mono.processor->vtbl->setBusArrangements(mono.processor, &arrangement, 1, &arrangement, 1), kResultOk);
    mono.component->vtbl->setActive(mono.component, 1);
    for (Vst3Instance* plugin : {&mono, &stereo}) plugin->send(8, 1 / 3.0), plugin->send(1, 0.8);
    mono.component->vtbl->setActive(mono.component, 0), mono.component->vtbl->setActive(mono.component, 1);
    stereo.component->vtbl->setActive(stereo.component, 0), stereo.component->vtbl->setActive(stereo.component, 1);
    const Stereo signal = testSignal(3000, 9);
    std::vector<float> channel = signal.first, left = signal.first, right = signal.first;
    for (int32_t from : {0, 1000}) {
        const int32_t frames = from ? 2000 : 1000;
        ParameterChanges changes{{0, {{700, 0.95}}}};
        float* monoChannels[1] = {channel.data() + from};
        AudioBusBuffers bus{1, 0, {monoChannels}};
        ProcessData data{kRealtime, kSample32, frames, 1, 1, &bus, &bus, &changes.changes,
                         nullptr, nullptr, nullptr, nullptr};
        ASSERT_EQ(mono.processor->vtbl->process(mono.processor, &data), kResultOk);
        stereo.process(left.data() + from, right.data() + from, frames, &changes);
    }
    EXPECT_EQ(channel, left);
    EXPECT_NE(channel, signal.first);
}

TEST(Vst3Module, ParametersMatchTheVst2TextsAndParseBack) {
    Vst3Module module;
    PluginLibrary vst2;
    ASSERT_TRUE(vst2.loaded());
    AEffect* effect = vst2.create();
    Vst3Instance plugin(module, rate);
    IEditController* e = plugin.controller;
    ASSERT_EQ(e->vtbl->getParameterCount(e), 10);  // and Oversampling and the preset list
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
    EXPECT_EQ(e->vtbl->getParamValueByString(e, 10, withUnit.data(), &value), kInvalidArgument);
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
    EXPECT_EQ(e->vtbl->getParameterInfo(e, 10, &info), kInvalidArgument);  // 9 is the preset list
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

    // Drive at 100 and 300, Mix at 400 and 450, 580 Glue at the block's end: it arrives with
    // the next block. A queue for no parameter changes nothing. (Bypass fades in VST 3 where
    // the VST 2.4 library switches: vst3_bypass_test.cpp.)
    processVst2(effect, expected, 1024, 1124);
    effect->setParameter(effect, 0, 0.9f);
    processVst2(effect, expected, 1124, 1324);
    effect->setParameter(effect, 0, 0.2f);
    processVst2(effect, expected, 1324, 1424);
    effect->setParameter(effect, 6, 0.25f);
    processVst2(effect, expected, 1424, 1474);
    effect->setParameter(effect, 6, 1.0f);
    processVst2(effect, expected, 1474, 2048);
    effect->setParameter(effect, 2, 0.3f);
    processVst2(effect, expected, 2048, 4096);
    ParameterChanges midBlock{{0, {{100, 0.9}, {300, 0.2}}}, {6, {{400, 0.25}, {450, 1.0}}},
                              {2, {{1024, 0.3}}}, {99, {{10, 1.0}}}};
    plugin.process(actual.first.data() + 1024, actual.second.data() + 1024, 1024, &midBlock);
    EXPECT_EQ(plugin.processorValues()[2], 0.3f);
    EXPECT_FLOAT_EQ(plugin.parameter(2), 0.7f);  // the host's to tell the controller
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
    source.send(0, 0.123);
    source.send(7, 1.0);
    MemoryStream saved;
    saved.largestWrite = 5;
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

// Choosing a factor asks the host to read the latency again; the factor runs from the next
// activation, and the latency reported is what runs: the delay of Bypass and of the dry path
// of Mix 0. The component state carries it; a version 1 state has none and loads as 1x.
TEST(Vst3Module, OversamplingRunsFromTheActivationAfterTheRestart) {
    Vst3Module module;
    RecordingHandler handler;  // outlives the instance, which holds it
    Vst3Instance plugin(module, rate);
    plugin.controller->vtbl->setComponentHandler(plugin.controller, &handler.handler);
    IAudioProcessor* p = plugin.processor;
    IComponent* c = plugin.component;
    plugin.send(7, 1.0);
    EXPECT_EQ(impulseDelay(plugin, 64), 0);
    plugin.setParameter(8, 2 / 3.0);
    plugin.setParameter(8, 0.6);  // the same position: asked once
    EXPECT_EQ(handler.calls, std::vector<std::string>{"restart 8"});
    EXPECT_EQ(impulseDelay(plugin, 400), 0);  // no change while active
    EXPECT_EQ(p->vtbl->getLatencySamples(p), 0u);
    c->vtbl->setActive(c, 0);
    c->vtbl->setActive(c, 1);
    const uint32_t latency = p->vtbl->getLatencySamples(p);
    EXPECT_GT(latency, 0u);
    EXPECT_EQ(impulseDelay(plugin, 400), static_cast<int>(latency));
    for (double bypass : {1.0, 0.0}) {  // Bypass; Mix 0
        plugin.send(7, bypass), plugin.send(6, 0.0);
        c->vtbl->setActive(c, 0);
        c->vtbl->setActive(c, 1);
        EXPECT_EQ(p->vtbl->getLatencySamples(p), latency);
        EXPECT_EQ(impulseDelay(plugin, 400), static_cast<int>(latency));
    }
    plugin.parameter(8);
    EXPECT_EQ(handler.calls.size(), 1u);  // what the host read is what runs

    MemoryStream saved;
    ASSERT_EQ(c->vtbl->getState(c, &saved.stream), kResultOk);
    EXPECT_EQ(saved.bytes.at(40), 4);
    Vst3Instance other(module, rate);
    saved.position = 0;
    ASSERT_EQ(other.controller->vtbl->setComponentState(other.controller, &saved.stream), kResultOk);
    EXPECT_EQ(other.parameter(8), 2 / 3.0);
    saved.bytes.resize(40);
    saved.bytes[4] = 1, saved.position = 0;
    ASSERT_EQ(c->vtbl->setState(c, &saved.stream), kResultOk);
    EXPECT_EQ(plugin.parameter(8), 0.0);
    EXPECT_EQ(handler.calls.back(), "restart 8");
}

// A host that queues the change to the processor before it tells the controller (JUCE's do)
// still hears of the latency, from the controller, never from the audio thread; one that
// never restarts gets the factor from a block half a second on, and hears of that too.
TEST(Vst3Module, LatencyIsReportedAgainstWhatTheHostLastRead) {
    Vst3Module module;
    RecordingHandler handler;
    Vst3Instance plugin(module, rate);
    plugin.controller->vtbl->setComponentHandler(plugin.controller, &handler.handler);
    IAudioProcessor* p = plugin.processor;
    plugin.send(7, 1.0);
    ParameterChanges toEight{{8, {{0, 1.0}}}};
    plugin.process(nullptr, nullptr, 0, &toEight);
    EXPECT_TRUE(handler.calls.empty());
    plugin.setParameter(8, 1.0);
    EXPECT_EQ(handler.calls, std::vector<std::string>{"restart 8"});
    EXPECT_EQ(p->vtbl->getLatencySamples(p), 0u);  // read at once, before any reactivation

    const int32_t waitFrames = static_cast<int32_t>(rate / 2);
    std::vector<float> silence(static_cast<size_t>(waitFrames));
    plugin.process(silence.data(), silence.data(), waitFrames);
    const int delay = impulseDelay(plugin, 400);
    EXPECT_GT(delay, 0);
    EXPECT_EQ(handler.calls.size(), 1u);
    plugin.parameter(0);
    EXPECT_EQ(handler.calls.size(), 2u);
    EXPECT_EQ(p->vtbl->getLatencySamples(p), static_cast<uint32_t>(delay));
    plugin.parameter(0);
    EXPECT_EQ(handler.calls.size(), 2u);

    Vst3Instance unhandled(module, rate);  // no handler to ask: the next block switches
    unhandled.send(7, 1.0);
    unhandled.send(8, 1 / 3.0);
    EXPECT_GT(impulseDelay(unhandled, 400), 0);
}

// The processor runs on the values its queues bring: a controller value the host echoes late
// changes the controller only, and a loaded state reaches the processor at its next block.
TEST(Vst3Module, ProcessorKeepsItsOwnValues) {
    Vst3Module module;
    Vst3Instance plugin(module, rate), reference(module, rate);
    plugin.send(0, 0.9);
    reference.send(0, 0.9);
    plugin.setParameter(0, 0.2);  // an older value, echoed to the controller
    Stereo audio = testSignal(1024, 5), expected = audio;
    plugin.process(audio.first.data(), audio.second.data(), 1024);
    reference.process(expected.first.data(), expected.second.data(), 1024);
    EXPECT_EQ(audio, expected);
    EXPECT_FLOAT_EQ(plugin.parameter(0), 0.2f);
    EXPECT_EQ(plugin.processorValues()[0], 0.9f);

    Vst3Instance loaded(module, rate);
    loaded.send(0, 0.3);
    MemoryStream state;
    loaded.component->vtbl->getState(loaded.component, &state.stream);
    state.position = 0;
    ASSERT_EQ(plugin.component->vtbl->setState(plugin.component, &state.stream), kResultOk);
    EXPECT_FLOAT_EQ(plugin.parameter(0), 0.3f);
    EXPECT_EQ(plugin.processorValues()[0], 0.3f);
    reference.send(0, 0.3);
    audio = expected = testSignal(1024, 6);
    plugin.process(audio.first.data(), audio.second.data(), 1024);
    reference.process(expected.first.data(), expected.second.data(), 1024);
    EXPECT_EQ(audio, expected);

    // Before its first block no queue can reach the processor (Ardour sets and saves a
    // session's values with its engine stopped): the controller's values are its own then.
    Vst3Instance stopped(module, rate), queued(module, rate);
    stopped.setParameter(0, 0.3);
    queued.send(0, 0.3);
    EXPECT_EQ(stopped.processorValues()[0], 0.3f);
    audio = expected = testSignal(1024, 6);
    stopped.process(audio.first.data(), audio.second.data(), 1024);
    queued.process(expected.first.data(), expected.second.data(), 1024);
    EXPECT_EQ(audio, expected);
}

// Stepped and list values map to positions as the SDK maps them: Bypass's 0.5 and 0.6 are on,
// 0.49 off; Oversampling's 0.25 is 2x.
TEST(Vst3Module, SteppedValuesMapAsTheSdkMapsThem) {
    Vst3Module module;
    Vst3Instance plugin(module, rate);
    IEditController* e = plugin.controller;
    for (auto [value, expected] : {std::pair{0.49, 0.0}, {0.5, 1.0}, {0.6, 1.0}, {-3.0, 0.0}}) {
        plugin.send(7, value);
        EXPECT_EQ(plugin.parameter(7), expected) << value;
        EXPECT_EQ(plugin.processorValues()[7], expected) << value;
    }
    std::u16string texts;
    for (double normalized : {0.24, 0.25, 0.5, 0.74, 0.75}) {
        String128 text{};
        e->vtbl->getParamStringByValue(e, 8, normalized, text);
        texts += std::u16string(text) + u" ";
    }
    EXPECT_EQ(texts, u"1x 2x 4x 4x 8x ");
    EXPECT_EQ(e->vtbl->plainParamToNormalized(e, 0, 250.0), 1.0);
    EXPECT_EQ(e->vtbl->plainParamToNormalized(e, 5, -40.0), 0.0);
    EXPECT_EQ(e->vtbl->plainParamToNormalized(e, 8, 9.0), 1.0);
    EXPECT_EQ(e->vtbl->plainParamToNormalized(e, 7, 60.0), 1.0);
}

// After the tail the host is told, the output of silence is below -120 dB, whatever the
// factor; the tail is the latency and the filters' ringing at the running rate.
TEST(Vst3Module, TailCoversTheLatencyAndTheRinging) {
    Vst3Module module;
    for (double choice : {0.0, 1.0}) {
        Vst3Instance plugin(module, rate);
        plugin.send(8, choice);
        plugin.send(0, 1.0);
        plugin.component->vtbl->setActive(plugin.component, 0);
        plugin.component->vtbl->setActive(plugin.component, 1);
        IAudioProcessor* p = plugin.processor;
        const uint32_t tail = p->vtbl->getTailSamples(p);
        EXPECT_GT(tail, p->vtbl->getLatencySamples(p) + 1000) << choice;
        EXPECT_LT(tail, static_cast<uint32_t>(rate)) << choice;
        Stereo loud{std::vector<float>(8192), std::vector<float>(8192)};
        NoiseSource noise{11};
        for (size_t i = 0; i < loud.first.size(); ++i)
            loud.first[i] = static_cast<float>(0.95 * noise.symmetric()), loud.second[i] = -loud.first[i];
        plugin.process(loud.first.data(), loud.second.data(), 8192);
        Stereo after{std::vector<float>(tail + 256), std::vector<float>(tail + 256)};
        plugin.process(after.first.data(), after.second.data(), static_cast<int32_t>(after.first.size()));
        float ringing = 0.0f, past = 0.0f;  // in the tail's first half; after it
        for (size_t i = 0; i < after.first.size(); ++i) {
            const float level = std::max(std::fabs(after.first[i]), std::fabs(after.second[i]));
            if (i < tail / 2) ringing = std::max(ringing, level);
            if (i >= tail) past = std::max(past, level);
        }
        EXPECT_GT(ringing, 1e-6f) << choice;
        EXPECT_LT(past, 1e-6f) << choice;
    }
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
