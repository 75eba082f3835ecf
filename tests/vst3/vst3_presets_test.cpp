// The factory presets as VST 3 hosts see them: a program list in the root unit and the
// program-change parameter that selects one, setting exactly the row's values and rendering
// as the row set by hand does; values outside the list change nothing; the controller's
// state keeps the choice; selections while the audio thread processes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "parameters/factory_presets.h"
#include "support/test_signal.h"
#include "vst3/vst3_unit_abi.h"
#include "vst3_test_host.h"

namespace {

constexpr double rate = 48000.0;
constexpr ParamID programId = parameterCount + 1, oversamplingId = parameterCount;
constexpr int32_t listId = 1;
const double last = factoryPresetCount - 1;

std::u16string nameOf(const TChar* text) { return std::u16string(text); }
std::u16string u16(const char* text) { return std::u16string(text, text + std::strlen(text)); }

std::vector<unsigned char> componentState(Vst3Instance& plugin) {
    MemoryStream stream;
    EXPECT_EQ(plugin.component->vtbl->getState(plugin.component, &stream.stream), kResultOk);
    return stream.bytes;
}

TEST(Vst3Presets, TheRootUnitListsThePresetsAndAParameterSelectsThem) {
    Vst3Module module;
    Vst3Instance plugin(module, rate);
    IUnitInfo* units = queryAs<IUnitInfo>(unknown(plugin.controller), IUnitInfo_iid);
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units->vtbl->getUnitCount(units), 1);
    UnitInfo unit{};
    ASSERT_EQ(units->vtbl->getUnitInfo(units, 0, &unit), kResultOk);
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    EXPECT_EQ(unit.programListId, listId);
    EXPECT_EQ(units->vtbl->getUnitInfo(units, 1, &unit), kInvalidArgument);
    ASSERT_EQ(units->vtbl->getProgramListCount(units), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->vtbl->getProgramListInfo(units, 0, &list), kResultOk);
    EXPECT_EQ(list.id, listId);
    EXPECT_EQ(list.programCount, factoryPresetCount);
    String128 name{};
    for (int p = 0; p < factoryPresetCount; ++p) {
        ASSERT_EQ(units->vtbl->getProgramName(units, listId, p, name), kResultOk);
        EXPECT_EQ(nameOf(name), u16(factoryPresets[p].name));
    }
    for (auto [list, index] : {std::pair{listId, -1}, {listId, factoryPresetCount}, {0, 0}, {kNoProgramListId, 0}})
        EXPECT_EQ(units->vtbl->getProgramName(units, list, index, name), kInvalidArgument);

    IEditController* e = plugin.controller;
    ParameterInfo info{};
    ASSERT_EQ(e->vtbl->getParameterInfo(e, static_cast<int32_t>(programId), &info), kResultOk);
    EXPECT_EQ(info.id, programId);
    EXPECT_EQ(info.flags, kParameterIsProgramChange | kParameterIsList);
    EXPECT_EQ(info.stepCount, factoryPresetCount - 1);
    EXPECT_EQ(info.unitId, kRootUnitId);
    ASSERT_EQ(e->vtbl->getParamStringByValue(e, programId, 5 / last, name), kResultOk);
    EXPECT_EQ(nameOf(name), u16(factoryPresets[5].name));
    ParamValue value = -1.0;
    const std::u16string lofi = u16("Lo-Fi Tape");
    ASSERT_EQ(e->vtbl->getParamValueByString(e, programId, const_cast<TChar*>(lofi.c_str()), &value), kResultOk);
    EXPECT_EQ(value, findFactoryPreset("Lo-Fi Tape") / last);
    EXPECT_EQ(e->vtbl->normalizedParamToPlain(e, programId, 3 / last), 3.0);
    EXPECT_EQ(e->vtbl->plainParamToNormalized(e, programId, 99.0), 1.0);
    release(units);
}

TEST(Vst3Presets, EachSetsItsRowExactlyAndRendersAsTheRowSetByHand) {
    Vst3Module module;
    constexpr int32_t frames = 2048;
    for (int p = 0; p < factoryPresetCount; ++p) {
        const FactoryPreset& preset = factoryPresets[p];
        SCOPED_TRACE(preset.name);
        RecordingHandler handler;  // outlives the instance, which holds it
        Vst3Instance chosen(module, rate), byHand(module, rate);
        chosen.controller->vtbl->setComponentHandler(chosen.controller, &handler.handler);
        chosen.setParameter(programId, p / last);
        EXPECT_NE(std::find(handler.calls.begin(), handler.calls.end(), "restart 4"), handler.calls.end());
        EXPECT_EQ(chosen.parameter(programId), p / last);
        const PresetValues values = presetValues(preset);
        for (ParamID i = 0; i < parameterCount; ++i) {
            EXPECT_EQ(chosen.parameter(i), values.parameters[i]) << i;
            byHand.setParameter(i, values.parameters[i]);
        }
        EXPECT_EQ(chosen.parameter(oversamplingId), values.oversamplingChoice / 3.0);
        byHand.setParameter(oversamplingId, values.oversamplingChoice / 3.0);
        EXPECT_EQ(componentState(chosen), componentState(byHand));

        std::vector<float> left[2], right[2];
        for (Vst3Instance* plugin : {&chosen, &byHand}) {
            plugin->component->vtbl->setActive(plugin->component, 0);  // a new factor applies here
            plugin->component->vtbl->setActive(plugin->component, 1);
            const size_t k = plugin == &chosen ? 0 : 1;
            left[k].resize(frames), right[k].resize(frames);
            fillTestSignal(left[k].data(), right[k].data(), frames, rate, 4);
            ASSERT_EQ(plugin->process(left[k].data(), right[k].data(), frames), kResultOk);
        }
        EXPECT_TRUE(left[0] == left[1] && right[0] == right[1]);
    }
}

TEST(Vst3Presets, ValuesOutsideTheListChangeNothing) {
    Vst3Module module;
    RecordingHandler handler;
    Vst3Instance plugin(module, rate);
    plugin.controller->vtbl->setComponentHandler(plugin.controller, &handler.handler);
    plugin.setParameter(programId, 4 / last);
    plugin.setParameter(0, 0.123);
    handler.calls.clear();
    const std::vector<unsigned char> before = componentState(plugin);
    IEditController* e = plugin.controller;
    String128 name{};
    for (double bad : {1.5, -0.01, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        EXPECT_EQ(e->vtbl->setParamNormalized(e, programId, bad), kInvalidArgument) << bad;
        EXPECT_EQ(e->vtbl->getParamStringByValue(e, programId, bad, name), kInvalidArgument) << bad;
    }
    EXPECT_EQ(componentState(plugin), before);
    EXPECT_EQ(plugin.parameter(programId), 4 / last);
    EXPECT_TRUE(handler.calls.empty());
}

TEST(Vst3Presets, TheControllerStateKeepsTheChoice) {
    Vst3Module module;
    Vst3Instance saved(module, rate), restored(module, rate);
    saved.setParameter(programId, 9 / last);
    MemoryStream state;
    ASSERT_EQ(saved.controller->vtbl->getState(saved.controller, &state.stream), kResultOk);
    state.position = 0;
    ASSERT_EQ(restored.controller->vtbl->setState(restored.controller, &state.stream), kResultOk);
    EXPECT_EQ(restored.parameter(programId), 9 / last);
    EXPECT_EQ(restored.parameter(parameterDrive), parameterDefaults[parameterDrive]);  // values travel with the component

    auto load = [&](std::vector<unsigned char> bytes) {
        MemoryStream stream;
        stream.bytes = std::move(bytes);
        return restored.controller->vtbl->setState(restored.controller, &stream.stream);
    };
    std::vector<unsigned char> outside = state.bytes;
    outside[8] = static_cast<unsigned char>(factoryPresetCount);
    EXPECT_EQ(load(outside), kResultFalse);
    EXPECT_EQ(load({state.bytes.begin(), state.bytes.end() - 1}), kResultFalse);
    EXPECT_EQ(restored.parameter(programId), 9 / last);
    std::vector<unsigned char> firstVersion(state.bytes.begin(), state.bytes.begin() + 8);
    firstVersion[4] = 1;  // before the presets: no index, the first
    EXPECT_EQ(load(firstVersion), kResultOk);
    EXPECT_EQ(restored.parameter(programId), 0.0);
}

TEST(Vst3Presets, SelectedWhileTheAudioThreadProcesses) {
    Vst3Module module;
    Vst3Instance plugin(module, rate);
    std::atomic<bool> running{true};
    std::thread audio([&] {
        std::vector<float> left(128), right(128);
        while (running) {
            fillTestSignal(left.data(), right.data(), 128, rate, 2);
            plugin.process(left.data(), right.data(), 128);
        }
    });
    for (int round = 0; round < 20; ++round)
        for (int p = 0; p < factoryPresetCount; ++p) EXPECT_EQ(plugin.controller->vtbl->setParamNormalized(plugin.controller, programId, p / last), kResultOk);
    running = false;
    audio.join();
    const PresetValues values = presetValues(factoryPresets[factoryPresetCount - 1]);
    for (ParamID i = 0; i < parameterCount; ++i) EXPECT_EQ(plugin.parameter(i), values.parameters[i]) << i;
}

}  // namespace
