// Little-endian 32-bit words: what the saved states of every format are made of, whatever
// the byte order of the machine that saved them.
#pragma once

#include <cstdint>

inline void putWord(unsigned char* at, uint32_t word) {
    for (int b = 0; b < 4; ++b) at[b] = static_cast<unsigned char>(word >> (8 * b));
}

inline uint32_t getWord(const unsigned char* at) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) word |= static_cast<uint32_t>(at[b]) << (8 * b);
    return word;
}
