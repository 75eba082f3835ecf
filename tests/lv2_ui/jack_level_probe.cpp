// A JACK client that plays a steady sine into another client's two inputs, listens to that
// client's two outputs and prints how much louder the outputs are than the sine, in dB,
// over the last given seconds:
//
//   jack-level-probe PLUGIN_CLIENT SECONDS
//
// Ports are connected by name: PLUGIN_CLIENT:in_left, in_right, out_left, out_right.
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

jack_port_t* sends[2];
jack_port_t* returns[2];
double phase = 0.0;
double phaseStep = 0.0;
std::atomic<bool> measuring{false};
double sentSquares = 0.0;  // written by the process thread only while measuring
double returnedSquares = 0.0;

int process(jack_nframes_t frames, void*) {
    float* out[2];
    const float* in[2];
    for (int c = 0; c < 2; ++c) {
        out[c] = static_cast<float*>(jack_port_get_buffer(sends[c], frames));
        in[c] = static_cast<const float*>(jack_port_get_buffer(returns[c], frames));
    }
    const bool counting = measuring.load(std::memory_order_acquire);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const float sample = static_cast<float>(0.3 * std::sin(phase));
        phase += phaseStep;
        if (phase > 6.283185307179586) phase -= 6.283185307179586;
        for (int c = 0; c < 2; ++c) {
            out[c][i] = sample;
            if (counting) {
                sentSquares += static_cast<double>(sample) * sample;
                returnedSquares += static_cast<double>(in[c][i]) * in[c][i];
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: jack-level-probe PLUGIN_CLIENT SECONDS\n");
        return 2;
    }
    const std::string plugin = argv[1];
    const double seconds = std::atof(argv[2]);
    jack_client_t* client = jack_client_open("velmora-probe", JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "jack-level-probe: no JACK server\n");
        return 1;
    }
    const char* names[2][2] = {{"send_left", "send_right"}, {"return_left", "return_right"}};
    for (int c = 0; c < 2; ++c) {
        sends[c] = jack_port_register(client, names[0][c], JACK_DEFAULT_AUDIO_TYPE,
                                      JackPortIsOutput, 0);
        returns[c] = jack_port_register(client, names[1][c], JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
    }
    phaseStep = 2.0 * 3.141592653589793 * 220.0 / jack_get_sample_rate(client);
    jack_set_process_callback(client, process, nullptr);
    if (jack_activate(client) != 0) return 1;
    const std::string self = jack_get_client_name(client);
    const char* sides[2] = {"left", "right"};
    for (int c = 0; c < 2; ++c) {
        const std::string side = sides[c];
        if (jack_connect(client, (self + ":" + names[0][c]).c_str(),
                         (plugin + ":in_" + side).c_str()) != 0 ||
            jack_connect(client, (plugin + ":out_" + side).c_str(),
                         (self + ":" + names[1][c]).c_str()) != 0) {
            std::fprintf(stderr, "jack-level-probe: cannot connect to %s\n", plugin.c_str());
            return 1;
        }
    }
    // Let the connections settle, then measure.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    measuring.store(true, std::memory_order_release);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    measuring.store(false, std::memory_order_release);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    jack_deactivate(client);
    jack_client_close(client);
    if (!(sentSquares > 0.0)) return 1;
    std::printf("%.4f\n", 10.0 * std::log10(returnedSquares / sentSquares));
    return 0;
}
