// The user-space sequencer through alsa-lib's own API, loaded from a configuration as hosts
// get it: the calls a host makes at start-up are answered, events written vanish, none is
// ever delivered, and the library refuses an alsa-lib other than the one it was written for.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <poll.h>

#include <string>

// alsa-lib's version as the sequencer library sees it: this program's definition comes
// first in the process, so a test can pretend another alsa-lib.
namespace {
const char* pretendedVersion = nullptr;
}
extern "C" const char* snd_asoundlib_version(void) {
    using Version = const char* (*)(void);
    static const auto real = reinterpret_cast<Version>(dlsym(RTLD_NEXT, "snd_asoundlib_version"));
    return pretendedVersion ? pretendedVersion : real();
}

namespace {

int openFixture(snd_seq_t** seq) {
    const std::string text = std::string("seq_type.velmora_test { lib \"") + VELMORA_SEQ_FIXTURE_PATH +
                             "\" }\nseq.default { type velmora_test }\n";
    snd_config_t* config = nullptr;
    snd_input_t* input = nullptr;
    if (snd_config_top(&config) < 0 || snd_input_buffer_open(&input, text.data(), ssize_t(text.size())) < 0)
        return -1;
    int result = snd_config_load(config, input);
    snd_input_close(input);
    if (result == 0) result = snd_seq_open_lconf(seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK, config);
    snd_config_delete(config);
    return result;
}

TEST(AlsaSeqFixture, AnswersAHostsCallsAndDeliversNothing) {
    snd_seq_t* seq = nullptr;
    ASSERT_EQ(openFixture(&seq), 0);
    EXPECT_EQ(snd_seq_client_id(seq), 128);
    ASSERT_EQ(snd_seq_set_client_name(seq, "Qtractor"), 0);
    snd_seq_client_info_t* client;
    snd_seq_client_info_alloca(&client);
    ASSERT_EQ(snd_seq_get_client_info(seq, client), 0);
    EXPECT_STREQ(snd_seq_client_info_get_name(client), "Qtractor");

    // Ports numbered from 0, listed in order; queues too, each with its own tempo.
    EXPECT_EQ(snd_seq_create_simple_port(seq, "in", SND_SEQ_PORT_CAP_WRITE, SND_SEQ_PORT_TYPE_APPLICATION), 0);
    EXPECT_EQ(snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ, SND_SEQ_PORT_TYPE_APPLICATION), 1);
    snd_seq_port_info_t* port;
    snd_seq_port_info_alloca(&port);
    snd_seq_port_info_set_client(port, 128);
    snd_seq_port_info_set_port(port, -1);
    std::string names;
    while (snd_seq_query_next_port(seq, port) == 0) names += snd_seq_port_info_get_name(port) + std::string(";");
    EXPECT_EQ(names, "in;out;");
    EXPECT_EQ(snd_seq_alloc_queue(seq), 0);
    EXPECT_EQ(snd_seq_alloc_named_queue(seq, "second"), 1);
    EXPECT_EQ(snd_seq_query_named_queue(seq, "second"), 1);
    snd_seq_queue_tempo_t* tempo;
    snd_seq_queue_tempo_alloca(&tempo);
    snd_seq_queue_tempo_set_tempo(tempo, 400000);
    snd_seq_queue_tempo_set_ppq(tempo, 960);
    ASSERT_EQ(snd_seq_set_queue_tempo(seq, 1, tempo), 0);
    ASSERT_EQ(snd_seq_get_queue_tempo(seq, 0, tempo), 0);
    EXPECT_EQ(snd_seq_queue_tempo_get_ppq(tempo), 96);
    ASSERT_EQ(snd_seq_get_queue_tempo(seq, 1, tempo), 0);
    EXPECT_EQ(snd_seq_queue_tempo_get_tempo(tempo), 400000u);
    EXPECT_LT(snd_seq_get_queue_tempo(seq, 2, tempo), 0);
    EXPECT_EQ(snd_seq_free_queue(seq, 0), 0);
    EXPECT_EQ(snd_seq_alloc_queue(seq), 0);

    // No other client exists to connect to.
    EXPECT_LT(snd_seq_connect_to(seq, 1, 64, 0), 0);

    // Events written are taken; the poll descriptor never wakes and nothing can be read.
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, 1);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_noteon(&event, 0, 60, 100);
    EXPECT_GE(snd_seq_event_output(seq, &event), 0);
    EXPECT_EQ(snd_seq_drain_output(seq), 0);
    pollfd descriptor{};
    ASSERT_EQ(snd_seq_poll_descriptors(seq, &descriptor, 1, POLLIN), 1);
    EXPECT_EQ(poll(&descriptor, 1, 50), 0);
    snd_seq_event_t* received = nullptr;
    EXPECT_EQ(snd_seq_event_input(seq, &received), -EAGAIN);
    EXPECT_EQ(snd_seq_close(seq), 0);
}

TEST(AlsaSeqFixture, RefusesAnotherAlsaLib) {
    snd_seq_t* seq = reinterpret_cast<snd_seq_t*>(1);
    pretendedVersion = "1.2.9";
    EXPECT_EQ(openFixture(&seq), -ENXIO);
    pretendedVersion = nullptr;
    EXPECT_EQ(seq, nullptr);
}

}  // namespace
