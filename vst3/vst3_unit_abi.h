// The VST 3 unit and program-list interface (IUnitInfo) and the program-change parameter's
// flag, written from the published interface descriptions, with checks of the sizes and
// offsets they rely on.
#pragma once

#include "vst3/vst3_abi.h"

namespace vst3 {

using UnitID = int32_t;
using ProgramListID = int32_t;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;
constexpr int32_t kParameterIsProgramChange = 1 << 15;  // ParameterInfo::kIsProgramChange
constexpr int32_t kParamValuesChanged = 1 << 2;         // restartComponent's flags

inline constexpr Uid IUnitInfo_iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32_t programCount;
};

struct IUnitInfoVtbl;
struct IUnitInfo {
    const IUnitInfoVtbl* vtbl;
};
struct IUnitInfoVtbl {
    tresult(VELMORA_VST3_CALL* queryInterface)(IUnitInfo* self, const TUID iid, void** object);
    uint32_t(VELMORA_VST3_CALL* addRef)(IUnitInfo* self);
    uint32_t(VELMORA_VST3_CALL* release)(IUnitInfo* self);
    int32_t(VELMORA_VST3_CALL* getUnitCount)(IUnitInfo* self);
    tresult(VELMORA_VST3_CALL* getUnitInfo)(IUnitInfo* self, int32_t unitIndex, UnitInfo* info);
    int32_t(VELMORA_VST3_CALL* getProgramListCount)(IUnitInfo* self);
    tresult(VELMORA_VST3_CALL* getProgramListInfo)(IUnitInfo* self, int32_t listIndex,
                                                   ProgramListInfo* info);
    tresult(VELMORA_VST3_CALL* getProgramName)(IUnitInfo* self, ProgramListID listId,
                                               int32_t programIndex, TChar* name);
    tresult(VELMORA_VST3_CALL* getProgramInfo)(IUnitInfo* self, ProgramListID listId,
                                               int32_t programIndex, const char* attributeId,
                                               TChar* attributeValue);
    tresult(VELMORA_VST3_CALL* hasProgramPitchNames)(IUnitInfo* self, ProgramListID listId,
                                                     int32_t programIndex);
    tresult(VELMORA_VST3_CALL* getProgramPitchName)(IUnitInfo* self, ProgramListID listId,
                                                    int32_t programIndex, int16_t midiPitch,
                                                    TChar* name);
    UnitID(VELMORA_VST3_CALL* getSelectedUnit)(IUnitInfo* self);
    tresult(VELMORA_VST3_CALL* selectUnit)(IUnitInfo* self, UnitID unitId);
    tresult(VELMORA_VST3_CALL* getUnitByBus)(IUnitInfo* self, int32_t type, int32_t dir,
                                             int32_t busIndex, int32_t channel, UnitID* unitId);
    tresult(VELMORA_VST3_CALL* setUnitProgramData)(IUnitInfo* self, int32_t listOrUnitId,
                                                   int32_t programIndex, IBStream* data);
};

static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, name) == 8 &&
              offsetof(UnitInfo, programListId) == 264);
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260);
static_assert(offsetof(IUnitInfoVtbl, getUnitCount) == 3 * sizeof(void*) &&
              offsetof(IUnitInfoVtbl, getProgramName) == 7 * sizeof(void*) &&
              offsetof(IUnitInfoVtbl, getSelectedUnit) == 11 * sizeof(void*) &&
              sizeof(IUnitInfoVtbl) == 15 * sizeof(void*));

}  // namespace vst3
