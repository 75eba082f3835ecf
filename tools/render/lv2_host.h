// Hosts an LV2 plug-in through lilv: finds it by URI (on LV2_PATH) or by its bundle folder,
// describes its ports, and runs instances with audio and control ports connected.
#pragma once

#include <lilv/lilv.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ScalePoint {
    float value = 0.0f;
    std::string label;
};

enum class Lv2PortKind { audioInput, audioOutput, controlInput, controlOutput, other };

struct Lv2Port {
    uint32_t index = 0;
    Lv2PortKind kind = Lv2PortKind::other;
    bool optional = false;  // lv2:connectionOptional
    std::string symbol, name, unit;
    float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
    bool integer = false;
    bool enabledSwitch = false;  // lv2:designation lv2:enabled: shown as Bypass (1 bypasses)
    std::vector<ScalePoint> scalePoints;
};

struct Lv2Plugin {
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    std::string uri, name, vendor;
    std::vector<Lv2Port> ports;
    int latencyPort = -1;  // the control output designated lv2:latency, if any

    Lv2Plugin() = default;
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;
    ~Lv2Plugin();
};

// A URI ("urn:...", "http://...") or a folder (an LV2 bundle) rather than a library file.
bool isLv2Reference(const std::string& reference);

// Throws ProcessingError when nothing is found or the plug-in has ports this host cannot feed.
std::shared_ptr<const Lv2Plugin> loadLv2Plugin(const std::string& reference);

struct Lv2Instance {
    std::shared_ptr<const Lv2Plugin> plugin;
    LilvInstance* instance = nullptr;
    std::vector<float> portValues;  // every control port's value, by port index
    bool active = false;
};

// Instantiated at the rate, every control input at its default; throws ProcessingError.
Lv2Instance instantiateLv2(const std::shared_ptr<const Lv2Plugin>& plugin, double sampleRate);
void runLv2(Lv2Instance& instance, float** inputs, float** outputs, int32_t frames);
void freeLv2(Lv2Instance& instance);
int countLv2Ports(const Lv2Plugin& plugin, Lv2PortKind kind);
