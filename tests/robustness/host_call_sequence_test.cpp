// The fuzzer's host-call sequences, run with every build: the committed seed corpus, and
// a fixed set of pseudo-random streams so the GCC builds and their sanitizers see them too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "fuzz/host_call_sequence.h"

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
    std::mt19937 generator(20261208);
    std::uniform_int_distribution<int> byte(0, 255), length(16, 1024);
    for (int stream = 0; stream < 400; ++stream) {
        std::vector<uint8_t> bytes(static_cast<size_t>(length(generator)));
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(generator));
        ASSERT_EQ(runHostCallSequence(bytes.data(), bytes.size()), "") << "stream " << stream;
    }
}

}  // namespace
