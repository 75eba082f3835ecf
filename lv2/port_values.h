// The LV2 ports: eight control inputs in the order and under the names of the plug-in's
// parameters, then the two audio inputs and the two audio outputs, then the oversampling
// factor's control input and the latency output (after the others, so that saved sessions
// keep their port indices). Control values arrive in
// the units a host panel shows (per cent, decibels, the enable switch) and become the
// normalized parameter values the engine reads.
#pragma once

#include <cstdint>

#include "parameters/parameter_index.h"

enum Lv2PortIndex : uint32_t {
    lv2PortFirstControl = 0,  // control port i is parameter i
    lv2PortInputLeft = parameterCount,
    lv2PortInputRight,
    lv2PortOutputLeft,
    lv2PortOutputRight,
    lv2PortOversampling,
    lv2PortLatency,
    lv2PortCount,
};

// The normalized value a write of this port value stores, clamped as every parameter write
// is: the shown units of the parameter table (per cent, Tube Bias as it is, Output in
// decibels), except the bypass parameter, which LV2 hosts see as the enable switch
// (1 processes): Bypass = 1 - enabled.
float parameterFromPortValue(int parameter, float portValue);
// The port value that shows a normalized parameter value: the inverse of the above, for the
// UI's writes.
float portValueFromParameter(int parameter, float value);
