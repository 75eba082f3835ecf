// The factory presets for VST 3 hosts: one program list in the root unit (IUnitInfo) and the
// program-change parameter that selects one of its programs.
#pragma once

#include "parameters/parameter_index.h"
#include "vst3/vst3_unit_abi.h"

struct Vst3Plugin;

// After Oversampling; a list parameter whose steps are the presets, in table order.
constexpr vst3::ParamID programParameterId = parameterCount + 1;
constexpr vst3::ProgramListID factoryProgramListId = 1;

void describeProgramParameter(vst3::ParameterInfo& info);
double normalizedFromProgram(int program);
// A plain value (the program's index) as the nearest program's normalized value.
double normalizedFromProgramPlain(double plain);
// The program a normalized value selects; -1 for a value outside 0..1 or not a number.
int programFromNormalized(double value);
// The preset's name as the parameter's display text; false for a value outside the list.
bool programText(double value, vst3::TChar* string);
// A preset's name (exact, in ASCII) back into the parameter's value.
bool programValueOfText(const vst3::TChar* string, vst3::ParamValue* value);

// Loads the preset through the component state's load, as a host's state load would set
// every parameter, keeps its index and tells the host to read the values again.
// kInvalidArgument, with nothing changed, for a value outside the list. [UI thread]
vst3::tresult selectProgram(Vst3Plugin& plugin, double normalized);

extern const vst3::IUnitInfoVtbl unitInfoTable;
