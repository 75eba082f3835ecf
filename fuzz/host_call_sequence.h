// Reads a byte stream as a sequence of host calls on up to four instances (create, close,
// every dispatcher opcode, parameter writes and reads, sample rates, blocks of audio) and
// checks the plug-in's promises after every call. Used by the libFuzzer target and, with
// fixed and pseudo-random streams, by the robustness tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Runs the calls the bytes describe, then closes every instance still open. Returns an
// empty string when every promise held, else a description of the first one broken.
std::string runHostCallSequence(const uint8_t* data, size_t size);
