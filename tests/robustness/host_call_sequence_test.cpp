// The fuzzer's host-call sequences, run with every build: the committed seed corpus, and
// a fixed set of pseudo-random streams so the GCC builds and their sanitizers see them too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/host_call_sequence.h"
#include "support/noise.h"

namespace {

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HostCallSequences, SeedCorpusKeepsEveryPromise) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELMORA_SEED_CORPUS)) {
        const std::vector<uint8_t> bytes = readFile(entry.path());
        EXPECT_EQ(runHostCallSequence(bytes.data(), bytes.size()), "") << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 8);
}

TEST(HostCallSequences, PseudoRandomStreamsKeepEveryPromise) {
    NoiseSource noise{20261208u};
    for (int stream = 0; stream < 400; ++stream) {
        std::vector<uint8_t> bytes(16 + noise.nextWord() % 1009);  // 16 to 1024 bytes
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(noise.nextWord() >> 24);
        ASSERT_EQ(runHostCallSequence(bytes.data(), bytes.size()), "") << "stream " << stream;
    }
}

}  // namespace
