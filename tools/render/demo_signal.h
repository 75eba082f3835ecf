// The built-in demo: a few bars of bass, chords and drums, synthesized by the program so
// that a new user can hear the effect without bringing a file.
#pragma once

#include <vector>

constexpr int demoSampleRate = 48000;
constexpr int demoChannels = 2;

// Interleaved stereo, peak at -3 dBFS, identical on every run.
std::vector<float> synthesizeDemo(int sampleRate);
