// The plug-in as a host sees it: loaded from the built library, created through
// VSTPluginMain, driven through the AEffect. Built for Linux and for Windows (under Wine).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/comma_locale.h"
#include "support/plugin_library.h"

namespace {

class PluginBoundary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << "could not load " << VELMORA_PLUGIN_PATH;
        effect = library.create();
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
    }

    // Fills a buffer with a marker byte, runs the opcode and returns the buffer.
    std::vector<unsigned char> textOf(int32_t opcode, int32_t index, intptr_t* result,
                                      size_t size = 64) {
        std::vector<unsigned char> buffer(size, 0xAB);
        *result = dispatch(effect, opcode, index, 0, buffer.data());
        return buffer;
    }

    // Expects exactly `size` bytes written: the text, zeros up to size, the marker after.
    void expectFixedBlock(int32_t opcode, int32_t index, const std::string& text, size_t size) {
        intptr_t result = -1;
        const auto buffer = textOf(opcode, index, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), text);
        for (size_t i = text.size(); i < size; ++i) EXPECT_EQ(buffer[i], 0) << "byte " << i;
        EXPECT_EQ(buffer[size], 0xAB) << "wrote past " << size << " bytes";
    }

    std::string display(int32_t index) {
        intptr_t result = 0;
        const auto buffer = textOf(effGetParamDisplay, index, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(buffer[15], 0xAB);
        return reinterpret_cast<const char*>(buffer.data());
    }

    PluginLibrary library;
    AEffect* effect = nullptr;
};

constexpr int32_t expectedFlags = 17;  // editor and replacing

TEST_F(PluginBoundary, BothExportsAreTheSameEntryAndANullCallbackCreatesNothing) {
    EXPECT_EQ(library.entry(), library.mainEntry());
    EXPECT_EQ(library.entry()(nullptr), nullptr);
}

TEST_F(PluginBoundary, IdentityOfANewInstance) {
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 8);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, expectedFlags);
    EXPECT_EQ(effect->uniqueID, 0x56454C4D);
    EXPECT_EQ(effect->version, 1000);
    EXPECT_EQ(effect->object, static_cast<void*>(effect));
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->ioRatio, 0.0f);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_EQ(effect->process, effect->processReplacing);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->user, nullptr);
    for (char c : effect->future) EXPECT_EQ(c, 0);
}

TEST_F(PluginBoundary, NameStringsAreFixedThirtyOneByteBlocks) {
    expectFixedBlock(effGetEffectName, 0, "Tolvan Velmora", 31);
    expectFixedBlock(effGetVendorString, 0, "Tolvan Audio Technologies", 31);
    expectFixedBlock(effGetProductString, 0, "Tolvan Velmora Saturation", 31);
    EXPECT_EQ(dispatch(effect, effGetVendorVersion), 1000);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 1);
}

TEST_F(PluginBoundary, ParameterNamesAndLabels) {
    const char* names[8] = {"Drive",     "Tube Bias", "580 Glue", "Momentum",
                            "172 Sieve", "Output",    "Mix",      "Bypass"};
    const char* labels[8] = {"%", "Asym", "%", "%", "%", "dB", "%", ""};
    for (int i = 0; i < 8; ++i) {
        expectFixedBlock(effGetParamName, i, names[i], 15);
        expectFixedBlock(effGetParamLabel, i, labels[i], 7);
    }
}

TEST_F(PluginBoundary, OutOfRangeParameterTextsWriteNothing) {
    for (int32_t opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        for (int32_t index : {-1, 8, 1000}) {
            intptr_t result = -1;
            const auto buffer = textOf(opcode, index, &result);
            EXPECT_EQ(result, 0);
            for (unsigned char b : buffer) ASSERT_EQ(b, 0xAB);
        }
    }
}

TEST_F(PluginBoundary, NullBuffersAreRefusedNotWrittenThrough) {
    for (int32_t opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName, effGetEffectName,
                           effGetVendorString, effGetProductString, effCanDo})
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, nullptr), 1);
}

TEST_F(PluginBoundary, DefaultsAndTheirDisplayTexts) {
    const float defaults[8] = {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f};
    const char* texts[8] = {"40", "0.50", "70", "85", "75", "0.0", "100", "0"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(effect->getParameter(effect, i), defaults[i]) << i;
        EXPECT_EQ(display(i), texts[i]) << i;
    }
}

TEST_F(PluginBoundary, ParameterWritesClampAndIgnoreBadIndexes) {
    effect->setParameter(effect, 0, 1.5f);
    EXPECT_EQ(effect->getParameter(effect, 0), 1.0f);
    effect->setParameter(effect, 0, -0.2f);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->setParameter(effect, 0, std::nanf(""));
    EXPECT_EQ(effect->getParameter(effect, 0), 1.0f);
    effect->setParameter(effect, 0, -INFINITY);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->setParameter(effect, 3, 0.3f);
    EXPECT_EQ(effect->getParameter(effect, 3), 0.3f);

    effect->setParameter(effect, 8, 0.1f);
    effect->setParameter(effect, -1, 0.1f);
    EXPECT_EQ(effect->getParameter(effect, 8), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, 7), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, 6), 1.0f);
}

TEST_F(PluginBoundary, DisplayTextsFollowTheirFormats) {
    effect->setParameter(effect, 5, 0.0f);
    EXPECT_EQ(display(5), "-18.0");
    effect->setParameter(effect, 5, 1.0f);
    EXPECT_EQ(display(5), "18.0");
    effect->setParameter(effect, 1, 0.123f);
    EXPECT_EQ(display(1), "0.12");
    effect->setParameter(effect, 0, 0.005f);  // 0.5 in single precision rounds to even
    EXPECT_EQ(display(0), "0");
    effect->setParameter(effect, 2, 0.675f);
    EXPECT_EQ(display(2), "68");
}

// A host in a comma-decimal locale gets the same texts, "-0.0" kept as the interface has it.
TEST_F(PluginBoundary, DisplayTextsIgnoreTheHostsLocale) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active) << "no de_DE.UTF-8 locale (scripts/install-deps.sh generates it)";
    effect->setParameter(effect, 5, 0.5f - 3.0f / 36.0f);
    effect->setParameter(effect, 7, 1.0f);
    EXPECT_EQ(display(1) + "|" + display(5) + "|" + display(7), "0.50|-3.0|100");
    effect->setParameter(effect, 5, 0.4999f);
    EXPECT_EQ(display(5), "-0.0");
}

TEST_F(PluginBoundary, EveryParameterCanBeAutomated) {
    for (int i = 0; i < 8; ++i) EXPECT_EQ(dispatch(effect, effCanBeAutomated, i), 1) << i;
    for (int i : {-1, 8, 9, 100}) EXPECT_EQ(dispatch(effect, effCanBeAutomated, i), 0) << i;
}

TEST_F(PluginBoundary, CanDoAnswersExactStringsOnly) {
    auto canDo = [&](const char* s) {
        return dispatch(effect, effCanDo, 0, 0, const_cast<char*>(s));
    };
    EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<intptr_t>(0xbeef0000));
    EXPECT_GT(canDo("hasCockosExtensions"), 0);
    EXPECT_EQ(canDo("2in2out"), 1);
    EXPECT_EQ(canDo("1in2out"), 1);
    EXPECT_EQ(canDo(""), 0);
    EXPECT_EQ(canDo("2in2"), 0);
    EXPECT_EQ(canDo("2IN2OUT"), 0);
    EXPECT_EQ(canDo("hascockosextensions"), 0);
    EXPECT_EQ(canDo("2in2out "), 0);
    EXPECT_EQ(canDo("receiveVstEvents"), 0);
}

TEST_F(PluginBoundary, EditorRectangleAndBypassSwitch) {
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 840);
    ERect* again = nullptr;
    dispatch(effect, effEditGetRect, 0, 0, &again);
    EXPECT_EQ(again, rect);

    EXPECT_EQ(dispatch(effect, effSetBypass, 0, 2), 1);
    EXPECT_EQ(dispatch(effect, effSetBypass, 0, 0), 1);
    EXPECT_EQ(dispatch(effect, effSetBypass, 0, static_cast<intptr_t>(1) << 40), 1);
}

TEST_F(PluginBoundary, UnhandledAndOutOfRangeOpcodesAnswerZero) {
    std::vector<unsigned char> buffer(256, 0xAB);
    for (int32_t opcode : {0, 2, 3, 4, 5, 9, 11, 12, 16, 17, 18, 20, 22, 23, 24, 25, 27, 29, 33,
                           34, 42, 46, 50, 52, 58, 59, 1000, -1, -1000}) {
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, buffer.data()), 0) << "opcode " << opcode;
    }
    for (unsigned char b : buffer) ASSERT_EQ(b, 0xAB);
    AEffect detached = *effect;
    detached.object = nullptr;
    EXPECT_EQ(detached.dispatcher(&detached, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(PluginBoundary, SampleRateRequestsAnswerZero) {
    for (float rate : {0.0f, -48000.0f, 96000.0f, 4000.0f, INFINITY, std::nanf("")})
        EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate), 0);
}

TEST_F(PluginBoundary, DeprecatedProcessSlotReplacesOutput) {
    std::vector<float> inL(64, 0.25f), inR(64, -0.25f), outL(64, 100.0f), outR(64, 100.0f);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    effect->process(effect, inputs, outputs, 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(std::fabs(outL[i]), 0.98f);
        EXPECT_LE(std::fabs(outR[i]), 0.98f);
    }
}

TEST_F(PluginBoundary, NullBlockArgumentsTouchNothing) {
    std::vector<float> in(16, 0.5f), out(16, 7.0f);
    float* inputs[2] = {in.data(), nullptr};
    float* outputs[2] = {out.data(), out.data()};
    effect->processReplacing(effect, inputs, outputs, 16);
    effect->processReplacing(effect, nullptr, outputs, 16);
    float* goodInputs[2] = {in.data(), in.data()};
    effect->processReplacing(effect, goodInputs, nullptr, 16);
    for (float v : out) ASSERT_EQ(v, 7.0f);

    AEffect detached = *effect;
    detached.object = nullptr;
    float* outs[2] = {out.data(), out.data()};
    effect->processReplacing(&detached, goodInputs, outs, 16);
    for (float v : out) ASSERT_EQ(v, 7.0f);
}

TEST(PluginLifetime, ManyInstancesAreIndependent) {
    PluginLibrary library;
    ASSERT_TRUE(library.loaded());
    AEffect* a = library.create();
    AEffect* b = library.create();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    a->setParameter(a, 0, 0.9f);
    EXPECT_EQ(b->getParameter(b, 0), 0.4f);
    EXPECT_EQ(dispatch(a, effClose), 0);
    EXPECT_EQ(b->getParameter(b, 0), 0.4f);
    EXPECT_EQ(dispatch(b, effClose), 0);
}

}  // namespace
