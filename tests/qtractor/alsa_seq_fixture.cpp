// A user-space ALSA sequencer for hosts on machines without the kernel's sequencer: alsa-lib
// loads it through an asoundrc (seq_type.velmora_test { lib "..." }, seq.!default { type
// velmora_test }). It keeps one client's ports and queues, accepts what a host asks of them,
// swallows the events written to it and never delivers one: its poll descriptor never wakes.
//
// alsa-lib hands its own handle to such a library to fill in, with a table of operations
// declared in its private seq_local.h; both are declared here as alsa-lib 1.2.8 lays them
// out, so the fixture refuses every other version.
#include <sound/asequencer.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" const char* snd_asoundlib_version(void);

namespace {

constexpr const char* writtenFor = "1.2.8";
constexpr int ownClient = 128;  // the first user client number the kernel hands out
constexpr int portCount = 64;
constexpr int queueCount = 16;

struct Seq;

// seq_local.h, snd_seq_ops_t, in its order.
struct SeqOps {
    int (*close)(Seq*);
    int (*nonblock)(Seq*, int);
    int (*system_info)(Seq*, snd_seq_system_info*);
    int (*get_client_info)(Seq*, snd_seq_client_info*);
    int (*set_client_info)(Seq*, snd_seq_client_info*);
    int (*create_port)(Seq*, snd_seq_port_info*);
    int (*delete_port)(Seq*, snd_seq_port_info*);
    int (*get_port_info)(Seq*, snd_seq_port_info*);
    int (*set_port_info)(Seq*, snd_seq_port_info*);
    int (*get_port_subscription)(Seq*, snd_seq_port_subscribe*);
    int (*subscribe_port)(Seq*, snd_seq_port_subscribe*);
    int (*unsubscribe_port)(Seq*, snd_seq_port_subscribe*);
    int (*query_port_subscribers)(Seq*, snd_seq_query_subs*);
    int (*get_queue_status)(Seq*, snd_seq_queue_status*);
    int (*get_queue_tempo)(Seq*, snd_seq_queue_tempo*);
    int (*set_queue_tempo)(Seq*, snd_seq_queue_tempo*);
    int (*get_queue_timer)(Seq*, snd_seq_queue_timer*);
    int (*set_queue_timer)(Seq*, snd_seq_queue_timer*);
    int (*get_queue_client)(Seq*, snd_seq_queue_client*);
    int (*set_queue_client)(Seq*, snd_seq_queue_client*);
    int (*create_queue)(Seq*, snd_seq_queue_info*);
    int (*delete_queue)(Seq*, snd_seq_queue_info*);
    int (*get_queue_info)(Seq*, snd_seq_queue_info*);
    int (*set_queue_info)(Seq*, snd_seq_queue_info*);
    int (*get_named_queue)(Seq*, snd_seq_queue_info*);
    ssize_t (*write)(Seq*, void*, size_t);
    ssize_t (*read)(Seq*, void*, size_t);
    int (*remove_events)(Seq*, snd_seq_remove_events*);
    int (*get_client_pool)(Seq*, snd_seq_client_pool*);
    int (*set_client_pool)(Seq*, snd_seq_client_pool*);
    int (*query_next_client)(Seq*, snd_seq_client_info*);
    int (*query_next_port)(Seq*, snd_seq_port_info*);
};

// seq_local.h, struct _snd_seq: alsa-lib frees the buffers and the handle with free().
struct Seq {
    char* name;
    int type;  // snd_seq_type_t
    int streams;
    int mode;
    int poll_fd;
    void* dl_handle;
    const SeqOps* ops;
    void* private_data;
    int client;
    char* obuf;
    size_t obufsize;
    size_t obufused;
    snd_seq_event* ibuf;
    size_t ibufptr;
    size_t ibuflen;
    size_t ibufsize;
    snd_seq_event* tmpbuf;
    size_t tmpbufsize;
};
static_assert(sizeof(void*) == 8 && sizeof(SeqOps) == 32 * sizeof(void*));
static_assert(offsetof(Seq, poll_fd) == 20 && offsetof(Seq, ops) == 32 && offsetof(Seq, client) == 48);
static_assert(offsetof(Seq, ibuf) == 80 && offsetof(Seq, tmpbufsize) == 120 && sizeof(Seq) == 128);
static_assert(sizeof(snd_seq_event) == 28);

constexpr int openOutput = 1, openInput = 2;  // SND_SEQ_OPEN_OUTPUT, SND_SEQ_OPEN_INPUT
constexpr size_t outputBufferSize = 16 * 1024, inputBufferEvents = 500;  // seq_local.h's

struct Queue {
    bool used = false;
    snd_seq_queue_info info{};
    snd_seq_queue_tempo tempo{};
    snd_seq_queue_timer timer{};
};

struct Client {
    snd_seq_client_info info{};
    bool portUsed[portCount]{};
    snd_seq_port_info ports[portCount]{};
    Queue queues[queueCount];
    snd_seq_client_pool pool{};
};

Client& clientOf(Seq* seq) { return *static_cast<Client*>(seq->private_data); }

snd_seq_port_info* ownPort(Seq* seq, const snd_seq_addr& addr) {
    if (addr.client != ownClient || addr.port >= portCount || !clientOf(seq).portUsed[addr.port]) return nullptr;
    return &clientOf(seq).ports[addr.port];
}

Queue* queueAt(Seq* seq, int queue) {
    if (queue < 0 || queue >= queueCount || !clientOf(seq).queues[queue].used) return nullptr;
    return &clientOf(seq).queues[queue];
}

int closeSeq(Seq* seq) {
    ::close(seq->poll_fd);
    delete &clientOf(seq);
    return 0;
}

int systemInfo(Seq* seq, snd_seq_system_info* info) {
    int queues = 0;
    for (const Queue& q : clientOf(seq).queues) queues += q.used;
    *info = {};
    info->queues = queueCount;
    info->clients = 192;
    info->ports = portCount;
    info->channels = 256;
    info->cur_clients = 1;
    info->cur_queues = queues;
    return 0;
}

int getClientInfo(Seq* seq, snd_seq_client_info* info) {
    if (info->client != ownClient) return -ENOENT;
    *info = clientOf(seq).info;
    return 0;
}

int setClientInfo(Seq* seq, snd_seq_client_info* info) {
    if (info->client != ownClient) return -EPERM;
    Client& client = clientOf(seq);
    const int ports = client.info.num_ports;
    client.info = *info;
    client.info.type = USER_CLIENT;
    client.info.num_ports = ports;
    return 0;
}

int createPort(Seq* seq, snd_seq_port_info* info) {
    Client& client = clientOf(seq);
    int port = 0;
    if (info->flags & SNDRV_SEQ_PORT_FLG_GIVEN_PORT) {
        port = info->addr.port;
        if (port >= portCount || client.portUsed[port]) return -EBUSY;
    } else {
        while (port < portCount && client.portUsed[port]) ++port;
        if (port == portCount) return -ENOMEM;
    }
    info->addr.client = ownClient;
    info->addr.port = static_cast<unsigned char>(port);
    client.ports[port] = *info;
    client.portUsed[port] = true;
    ++client.info.num_ports;
    return 0;
}

int deletePort(Seq* seq, snd_seq_port_info* info) {
    if (!ownPort(seq, info->addr)) return -ENOENT;
    clientOf(seq).portUsed[info->addr.port] = false;
    --clientOf(seq).info.num_ports;
    return 0;
}

int getPortInfo(Seq* seq, snd_seq_port_info* info) {
    const snd_seq_port_info* port = ownPort(seq, info->addr);
    if (!port) return -ENOENT;
    *info = *port;
    return 0;
}

int setPortInfo(Seq* seq, snd_seq_port_info* info) {
    snd_seq_port_info* port = ownPort(seq, info->addr);
    if (!port) return -ENOENT;
    *port = *info;
    return 0;
}

// Connections lead nowhere: no other client exists, and none between own ports is kept.
int noSubscription(Seq*, snd_seq_port_subscribe*) { return -ENOENT; }
int subscribe(Seq* seq, snd_seq_port_subscribe* sub) {
    return ownPort(seq, sub->sender) && ownPort(seq, sub->dest) ? 0 : -ENOENT;
}
int noSubscribers(Seq*, snd_seq_query_subs*) { return -ENOENT; }

// The queues' clocks stand still: no timer runs here.
int getQueueStatus(Seq* seq, snd_seq_queue_status* status) {
    if (!queueAt(seq, status->queue)) return -EINVAL;
    const int queue = status->queue;
    *status = {};
    status->queue = queue;
    return 0;
}

template <auto Member, typename Record>
int getQueueRecord(Seq* seq, Record* record) {
    Queue* q = queueAt(seq, record->queue);
    if (!q) return -EINVAL;
    *record = q->*Member;
    return 0;
}

template <auto Member, typename Record>
int setQueueRecord(Seq* seq, Record* record) {
    Queue* q = queueAt(seq, record->queue);
    if (!q) return -EINVAL;
    q->*Member = *record;
    return 0;
}

int queueClient(Seq* seq, snd_seq_queue_client* info) {
    if (!queueAt(seq, info->queue)) return -EINVAL;
    info->client = ownClient;
    return 0;
}

int createQueue(Seq* seq, snd_seq_queue_info* info) {
    Client& client = clientOf(seq);
    int queue = 0;
    while (queue < queueCount && client.queues[queue].used) ++queue;
    if (queue == queueCount) return -ENOMEM;
    Queue& q = client.queues[queue];
    q = {};
    q.used = true;
    info->queue = queue;
    info->owner = ownClient;
    q.info = *info;
    q.tempo.queue = queue;
    q.tempo.tempo = 500000;  // the kernel's defaults: 120 BPM, 96 ticks per quarter
    q.tempo.ppq = 96;
    q.timer.queue = queue;
    return 0;
}

int deleteQueue(Seq* seq, snd_seq_queue_info* info) {
    Queue* q = queueAt(seq, info->queue);
    if (!q) return -EINVAL;
    q->used = false;
    return 0;
}

int getNamedQueue(Seq* seq, snd_seq_queue_info* info) {
    for (const Queue& q : clientOf(seq).queues)
        if (q.used && std::strncmp(q.info.name, info->name, sizeof info->name) == 0) return *info = q.info, 0;
    return -EINVAL;
}

ssize_t swallow(Seq*, void*, size_t size) { return static_cast<ssize_t>(size); }
ssize_t nothingToRead(Seq*, void*, size_t) { return -EAGAIN; }
int removeEvents(Seq*, snd_seq_remove_events*) { return 0; }

int getClientPool(Seq* seq, snd_seq_client_pool* pool) {
    *pool = clientOf(seq).pool;
    return 0;
}

int setClientPool(Seq* seq, snd_seq_client_pool* pool) {
    Client& client = clientOf(seq);
    client.pool.output_pool = pool->output_pool;
    client.pool.input_pool = pool->input_pool;
    client.pool.output_room = pool->output_room;
    client.pool.output_free = pool->output_pool;
    client.pool.input_free = pool->input_pool;
    return 0;
}

int queryNextClient(Seq* seq, snd_seq_client_info* info) {
    if (info->client >= ownClient) return -ENOENT;
    *info = clientOf(seq).info;
    return 0;
}

int queryNextPort(Seq* seq, snd_seq_port_info* info) {
    if (info->addr.client != ownClient) return -ENOENT;
    const Client& client = clientOf(seq);
    // From port -1, which reads 255 in the address's byte, the count wraps to 0 as the kernel's.
    for (int port = static_cast<unsigned char>(info->addr.port + 1); port < portCount; ++port)
        if (client.portUsed[port]) return *info = client.ports[port], 0;
    return -ENOENT;
}

int ignoreNonblock(Seq*, int) { return 0; }

constexpr SeqOps ops{
    closeSeq, ignoreNonblock, systemInfo, getClientInfo, setClientInfo, createPort, deletePort,
    getPortInfo, setPortInfo, noSubscription, subscribe, subscribe, noSubscribers, getQueueStatus,
    getQueueRecord<&Queue::tempo>, setQueueRecord<&Queue::tempo>, getQueueRecord<&Queue::timer>,
    setQueueRecord<&Queue::timer>, queueClient, queueClient, createQueue, deleteQueue,
    getQueueRecord<&Queue::info>, setQueueRecord<&Queue::info>, getNamedQueue, swallow,
    nothingToRead, removeEvents, getClientPool, setClientPool, queryNextClient, queryNextPort,
};

}  // namespace

extern "C" {

// alsa-lib looks this up as _snd_seq_<type>_open beside a version marker of that name.
__attribute__((visibility("default"))) int _snd_seq_velmora_test_open(Seq** handle, const char* name, void*,
                                                                      void*, int streams, int mode) {
    *handle = nullptr;
    if (std::strcmp(snd_asoundlib_version(), writtenFor) != 0) {
        std::fprintf(stderr, "velmora test sequencer: written for alsa-lib %s, not %s\n", writtenFor,
                     snd_asoundlib_version());
        return -ENXIO;
    }
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) return -errno;
    auto* seq = static_cast<Seq*>(std::calloc(1, sizeof(Seq)));
    if (!seq) return ::close(fd), -ENOMEM;
    if (streams & openOutput) seq->obuf = static_cast<char*>(std::malloc(seq->obufsize = outputBufferSize));
    if (streams & openInput)
        seq->ibuf = static_cast<snd_seq_event*>(std::calloc(seq->ibufsize = inputBufferEvents, sizeof(snd_seq_event)));
    if ((streams & openOutput && !seq->obuf) || (streams & openInput && !seq->ibuf)) {
        std::free(seq->obuf), std::free(seq->ibuf), std::free(seq), ::close(fd);
        return -ENOMEM;
    }
    auto* client = new Client;
    client->info.client = ownClient;
    client->info.type = USER_CLIENT;
    client->info.card = -1;
    client->info.pid = getpid();
    std::snprintf(client->info.name, sizeof client->info.name, "Client-%d", ownClient);
    client->pool = {ownClient, 500, 200, 250, 500, 200, {}};
    seq->name = name ? strdup(name) : nullptr;
    seq->streams = streams;
    seq->mode = mode;
    seq->poll_fd = fd;
    seq->ops = &ops;
    seq->private_data = client;
    seq->client = ownClient;
    *handle = seq;
    return 0;
}
__attribute__((visibility("default"))) char __snd_seq_velmora_test_open_dlsym_seq_001;

}
