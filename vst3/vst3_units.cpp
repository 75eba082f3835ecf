#include "vst3/vst3_units.h"

#include <cmath>
#include <cstring>

#include "parameters/factory_presets.h"
#include "vst3/vst3_plugin.h"
#include "vst3/vst3_state.h"

using namespace vst3;

namespace {

constexpr const char* programParameterName = "Preset";
constexpr const char* programListName = "Factory Presets";
constexpr int lastProgram = factoryPresetCount - 1;

void copyName(TChar* to, const char* from) {
    std::memset(to, 0, sizeof(String128));
    for (int i = 0; i < 127 && from[i]; ++i) to[i] = static_cast<unsigned char>(from[i]);
}

// A component state's bytes in memory: what selectProgram writes and hands to the load.
struct StateStream {
    IBStream stream;
    unsigned char bytes[256];
    int32_t size, position;
};
StateStream& streamOf(IBStream* s) { return *reinterpret_cast<StateStream*>(s); }

tresult VELMORA_VST3_CALL streamQuery(IBStream* self, const TUID iid, void** object) {
    const bool known = sameUid(iid, FUnknown_iid) || sameUid(iid, IBStream_iid);
    *object = known ? self : nullptr;
    return known ? kResultOk : kNoInterface;
}
uint32_t VELMORA_VST3_CALL streamReference(IBStream*) { return 1; }  // lives on the stack
tresult VELMORA_VST3_CALL streamRead(IBStream* self, void* buffer, int32_t count, int32_t* done) {
    StateStream& s = streamOf(self);
    const int32_t n = count < 0 ? 0 : std::min(count, s.size - s.position);
    std::memcpy(buffer, s.bytes + s.position, static_cast<size_t>(n));
    s.position += n;
    if (done) *done = n;
    return kResultOk;
}
tresult VELMORA_VST3_CALL streamWrite(IBStream* self, void* buffer, int32_t count, int32_t* done) {
    StateStream& s = streamOf(self);
    if (count < 0 || count > static_cast<int32_t>(sizeof s.bytes) - s.position) return kResultFalse;
    std::memcpy(s.bytes + s.position, buffer, static_cast<size_t>(count));
    s.position += count;
    s.size = std::max(s.size, s.position);
    if (done) *done = count;
    return kResultOk;
}
tresult VELMORA_VST3_CALL streamSeek(IBStream* self, int64_t position, int32_t mode, int64_t* result) {
    StateStream& s = streamOf(self);
    const int64_t base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? s.position : s.size;
    if (base + position < 0 || base + position > s.size) return kResultFalse;
    s.position = static_cast<int32_t>(base + position);
    if (result) *result = s.position;
    return kResultOk;
}
tresult VELMORA_VST3_CALL streamTell(IBStream* self, int64_t* position) {
    if (position) *position = streamOf(self).position;
    return kResultOk;
}
const IBStreamVtbl stateStreamTable = {streamQuery, streamReference, streamReference, streamRead,
                                       streamWrite, streamSeek,      streamTell};

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
    StateStream state{{&stateStreamTable}, {}, 0, 0};
    if (!writeComponentState(&state.stream, values.parameters, values.oversamplingChoice)) return kInternalError;
    state.position = 0;
    const tresult loaded = componentTable.setState(&plugin.component, &state.stream);
    if (loaded != kResultOk) return loaded;
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
