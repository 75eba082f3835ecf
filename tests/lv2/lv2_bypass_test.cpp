// The enable port through lilv: switching it fades between the processed signal and the
// (delayed) input without a click, both ways, and the bypassed output is then the input.
#include <gtest/gtest.h>
#include <lilv/lilv.h>


#include "engine/oversampling.h"
#include "support/bypass_probe.h"

namespace {

class Lv2Bypass : public testing::TestWithParam<float> {};

TEST_P(Lv2Bypass, SwitchingTheEnablePortDoesNotClick) {
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, VELMORA_LV2_URI);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    ASSERT_NE(plugin, nullptr);
    LilvInstance* instance = lilv_plugin_instantiate(plugin, BypassProbe::rate, nullptr);
    float controls[14], latency = 0.0f;
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, controls);
    controls[12] = GetParam();
    for (uint32_t i = 0; i < 8; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
    lilv_instance_connect_port(instance, 12, &controls[12]);
    lilv_instance_connect_port(instance, 13, &latency);
    lilv_instance_activate(instance);
    const BypassProbe probe([&](const float* const* in, float* const* out, uint32_t frames, int32_t switchAt, bool bypassed) {
        if (switchAt == 0) controls[7] = bypassed ? 0.0f : 1.0f;
        for (uint32_t c = 0; c < 2; ++c) {
            lilv_instance_connect_port(instance, 8 + c, const_cast<float*>(in[c]));
            lilv_instance_connect_port(instance, 10 + c, out[c]);
        }
        lilv_instance_run(instance, frames);
    });
    EXPECT_EQ(latency, static_cast<float>(oversamplingLatency(static_cast<int>(GetParam()))));
    probe.expectClickFree(GetParam() == 1.0f ? "LV2 at 1x" : "LV2 at 8x", static_cast<uint32_t>(latency));
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_world_free(world);
}

INSTANTIATE_TEST_SUITE_P(Factors, Lv2Bypass, testing::Values(1.0f, 8.0f));

}  // namespace
