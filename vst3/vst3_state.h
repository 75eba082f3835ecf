// The saved state. The component's: a tag, a version and the eight normalized values as
// little-endian 32-bit floats. The controller's: its own tag and version, nothing else yet
// (every setting is a parameter and travels with the component).
#pragma once

#include "parameters/parameter_index.h"
#include "vst3/vst3_abi.h"

bool writeComponentState(vst3::IBStream* stream, const float (&values)[parameterCount]);
// Also takes the VST 2.4 build's state as VST 2 hosts saved it (an fxb bank or fxp program),
// which Steinberg's hosts pass on when this plug-in replaces that one in a project. False,
// with values untouched, for a short, foreign, newer or corrupt stream.
bool readComponentState(vst3::IBStream* stream, float (&values)[parameterCount]);

bool writeControllerState(vst3::IBStream* stream);
bool readControllerState(vst3::IBStream* stream);
