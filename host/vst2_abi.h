// The VST 2.4 binary interface as a 64-bit host sees it: the AEffect record, the
// editor rectangle, the callback types and the opcodes and constants this plug-in uses.
// Written from the public layout; offsets are checked below because hosts rely on them.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

using audioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // deprecated accumulating slot
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

static_assert(sizeof(void*) == 8, "this layout is the 64-bit one");
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8);

constexpr int32_t kEffectMagic = 0x56737450;  // 'VstP'

constexpr int32_t effFlagsHasEditor = 1;
constexpr int32_t effFlagsCanReplacing = 16;

constexpr int32_t kPlugCategEffect = 1;

// Host callback opcodes.
constexpr int32_t audioMasterAutomate = 0;
constexpr int32_t audioMasterVersion = 1;

// Dispatcher opcodes.
constexpr int32_t effOpen = 0;
constexpr int32_t effClose = 1;
constexpr int32_t effSetProgram = 2;
constexpr int32_t effGetProgram = 3;
constexpr int32_t effSetProgramName = 4;
constexpr int32_t effGetProgramName = 5;
constexpr int32_t effGetParamLabel = 6;
constexpr int32_t effGetParamDisplay = 7;
constexpr int32_t effGetParamName = 8;
constexpr int32_t effSetSampleRate = 10;
constexpr int32_t effSetBlockSize = 11;
constexpr int32_t effMainsChanged = 12;
constexpr int32_t effEditGetRect = 13;
constexpr int32_t effEditOpen = 14;
constexpr int32_t effEditClose = 15;
constexpr int32_t effEditIdle = 19;
constexpr int32_t effGetChunk = 23;
constexpr int32_t effSetChunk = 24;
constexpr int32_t effProcessEvents = 25;
constexpr int32_t effCanBeAutomated = 26;
constexpr int32_t effString2Parameter = 27;
constexpr int32_t effGetProgramNameIndexed = 29;
constexpr int32_t effGetInputProperties = 33;
constexpr int32_t effGetOutputProperties = 34;
constexpr int32_t effGetPlugCategory = 35;
constexpr int32_t effSetSpeakerArrangement = 42;
constexpr int32_t effSetBypass = 44;
constexpr int32_t effGetEffectName = 45;
constexpr int32_t effGetVendorString = 47;
constexpr int32_t effGetProductString = 48;
constexpr int32_t effGetVendorVersion = 49;
constexpr int32_t effVendorSpecific = 50;
constexpr int32_t effCanDo = 51;
constexpr int32_t effGetTailSize = 52;
constexpr int32_t effGetVstVersion = 58;
