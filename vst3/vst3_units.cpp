#include "vst3/vst3_units.h"

#include <cmath>
#include <cstring>

#include "parameters/factory_presets.h"
#include "vst3/vst3_plugin.h"

using namespace vst3;

namespace {

constexpr const char* programParameterName = "Preset";
constexpr const char* programListName = "Factory Presets";
constexpr int lastProgram = factoryPresetCount - 1;

void copyName(TChar* to, const char* from) {
    std::memset(to, 0, sizeof(String128));
    for (int i = 0; i < 127 && from[i]; ++i) to[i] = static_cast<unsigned char>(from[i]);
}

// IUnitInfo: the root unit and its one program list.

Vst3Plugin* pluginOf(IUnitInfo* self) {
    return reinterpret_cast<Vst3Plugin*>(reinterpret_cast<char*>(self) - offsetof(Vst3Plugin, unitInfo));
}

tresult VELMORA_VST3_CALL unitQuery(IUnitInfo* self, const TUID iid, void** object) {
    return queryPlugin(pluginOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL unitAddRef(IUnitInfo* self) { return addPluginReference(pluginOf(self)); }
uint32_t VELMORA_VST3_CALL unitRelease(IUnitInfo* self) { return releasePlugin(pluginOf(self)); }

int32_t VELMORA_VST3_CALL getUnitCount(IUnitInfo*) { return 1; }

tresult VELMORA_VST3_CALL getUnitInfo(IUnitInfo*, int32_t index, UnitInfo* info) {
    if (index != 0 || !info) return kInvalidArgument;
    info->id = kRootUnitId;
    info->parentUnitId = kNoParentUnitId;
    copyName(info->name, "Root");
    info->programListId = factoryProgramListId;
    return kResultOk;
}

int32_t VELMORA_VST3_CALL getProgramListCount(IUnitInfo*) { return 1; }

tresult VELMORA_VST3_CALL getProgramListInfo(IUnitInfo*, int32_t index, ProgramListInfo* info) {
    if (index != 0 || !info) return kInvalidArgument;
    info->id = factoryProgramListId;
    copyName(info->name, programListName);
    info->programCount = factoryPresetCount;
    return kResultOk;
}

tresult VELMORA_VST3_CALL getProgramName(IUnitInfo*, ProgramListID list, int32_t program, TChar* name) {
    if (list != factoryProgramListId || !validPresetIndex(program) || !name) return kInvalidArgument;
    copyName(name, factoryPresets[program].name);
    return kResultOk;
}

tresult VELMORA_VST3_CALL getProgramInfo(IUnitInfo*, ProgramListID, int32_t, const char*, TChar*) {
    return kResultFalse;
}
tresult VELMORA_VST3_CALL hasProgramPitchNames(IUnitInfo*, ProgramListID, int32_t) { return kResultFalse; }
tresult VELMORA_VST3_CALL getProgramPitchName(IUnitInfo*, ProgramListID, int32_t, int16_t, TChar*) {
    return kResultFalse;
}
UnitID VELMORA_VST3_CALL getSelectedUnit(IUnitInfo*) { return kRootUnitId; }
tresult VELMORA_VST3_CALL selectUnit(IUnitInfo*, UnitID unit) {
    return unit == kRootUnitId ? kResultOk : kInvalidArgument;
}
tresult VELMORA_VST3_CALL getUnitByBus(IUnitInfo*, int32_t, int32_t, int32_t, int32_t, UnitID* unit) {
    if (!unit) return kInvalidArgument;
    *unit = kRootUnitId;
    return kResultOk;
}
tresult VELMORA_VST3_CALL setUnitProgramData(IUnitInfo*, int32_t, int32_t, IBStream*) {
    return kNotImplemented;
}

}  // namespace

void describeProgramParameter(ParameterInfo& info) {
    std::memset(&info, 0, sizeof info);
    info.id = programParameterId;
    copyName(info.title, programParameterName);
    copyName(info.shortTitle, programParameterName);
    info.stepCount = lastProgram;
    info.unitId = kRootUnitId;
    info.flags = kParameterIsProgramChange | kParameterIsList;
}

double normalizedFromProgram(int program) { return static_cast<double>(program) / lastProgram; }

double normalizedFromProgramPlain(double plain) {
    const double nearest = std::nearbyint(plain > 0.0 ? plain : 0.0);
    return normalizedFromProgram(nearest < lastProgram ? static_cast<int>(nearest) : lastProgram);
}

int programFromNormalized(double value) {
    if (!(value >= 0.0 && value <= 1.0)) return -1;
    return static_cast<int>(std::lround(value * lastProgram));
}

bool programText(double value, TChar* string) {
    const int program = programFromNormalized(value);
    if (program < 0) return false;
    copyName(string, factoryPresets[program].name);
    return true;
}

bool programValueOfText(const TChar* string, ParamValue* value) {
    for (int p = 0; p < factoryPresetCount; ++p) {
        const char* name = factoryPresets[p].name;
        int i = 0;
        while (name[i] && string[i] == static_cast<unsigned char>(name[i])) ++i;
        if (!name[i] && !string[i]) return *value = normalizedFromProgram(p), true;
    }
    return false;
}

tresult selectProgram(Vst3Plugin& plugin, double normalized) {
    const int program = programFromNormalized(normalized);
    if (program < 0) return kInvalidArgument;
    const PresetValues values = presetValues(factoryPresets[program]);
    // What a component state of these values does: both sides take them, the processor at
    // its next block.
    loadParameterValues(plugin, values.parameters);
    chooseOversampling(plugin, values.oversamplingChoice);
    reportLatencyChange(plugin);
    plugin.program.store(program, std::memory_order_relaxed);
    if (IComponentHandler* handler = plugin.componentHandler)
        handler->vtbl->restartComponent(handler, kParamValuesChanged);
    return kResultOk;
}

const IUnitInfoVtbl unitInfoTable = {
    unitQuery,      unitAddRef,          unitRelease,       getUnitCount,       getUnitInfo,
    getProgramListCount, getProgramListInfo, getProgramName, getProgramInfo,   hasProgramPitchNames,
    getProgramPitchName, getSelectedUnit,  selectUnit,        getUnitByBus,       setUnitProgramData,
};
