#pragma once

#include "host/vst2_abi.h"

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

