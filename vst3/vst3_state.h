// The saved state. The component's: a tag, a version, the eight normalized values as
// little-endian 32-bit floats and (from version 2) the oversampling factor as a 32-bit word.
// The controller's: its own tag and version and (from version 2) the editor's zoom as a
// little-endian 32-bit float; a version 1 state opens the editor at 100 %.
#pragma once

#include "parameters/parameter_index.h"
#include "vst3/vst3_abi.h"

bool writeComponentState(vst3::IBStream* stream, const float (&values)[parameterCount],
                         int oversamplingChoice);
// Also takes the VST 2.4 build's state as VST 2 hosts saved it (an fxb bank or fxp program),
// which Steinberg's hosts pass on when this plug-in replaces that one in a project; a state
// without a factor (version 1, VST 2.4) chooses 1x. False, with nothing written, for a short,
// foreign, newer or corrupt stream.
bool readComponentState(vst3::IBStream* stream, float (&values)[parameterCount],
                        int* oversamplingChoice);

bool writeControllerState(vst3::IBStream* stream, float editorZoom);
// False, with *editorZoom untouched, for a short, foreign or newer stream.
bool readControllerState(vst3::IBStream* stream, float* editorZoom);
