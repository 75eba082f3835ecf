// The saved state. The component's: a tag, a version, the eight normalized values as
// little-endian 32-bit floats and (from version 2) the oversampling factor as a 32-bit word.
// The controller's: its own tag and version and (from version 2) the factory preset last
// chosen as a 32-bit word and the editor's zoom as a little-endian 32-bit float; every other
// setting is a parameter and travels with the component.
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

// What the controller keeps of its own: the factory preset last chosen and the editor's
// zoom. A version 1 state chose no preset (the first) and opens the editor at 100 %.
struct ControllerSettings {
    int program = 0;
    float editorZoom = 1.0f;
};
bool writeControllerState(vst3::IBStream* stream, const ControllerSettings& settings);
// False, with *settings untouched, for a short, foreign or newer stream or a preset index
// outside the list.
bool readControllerState(vst3::IBStream* stream, ControllerSettings* settings);
