#pragma once

#include "host/vst2_abi.h"

// The host's audio entry, in both the replacing and the deprecated process slot.
void processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
