// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// An ALSA capture device for tests whose stop waits at a gate, as a sound-server
// client's stop waits for a server that was frozen with SIGSTOP. Everything else
// answers at once: the device captures silence at its rate by the clock.
//
//   pcm_type.veldora_blocking { lib "<this library>" }
//   pcm.NAME { type veldora_blocking gate "<a FIFO>" }
//
// The stop opens the gate FIFO for writing, which returns only while a reader holds
// it open: a test holds a reader while the "server" answers, closes it to freeze the
// server, and opens one again to let every waiting stop go. ALSA calls the stop for
// every drop, and closing a handle that is set up drops it. The stops waiting at the
// gate are counted, for the tests: veldora_blocking_stops_waiting().
//
// With `refuse_start true` the device opens and takes every format it lists, but its
// start fails, as a server that refuses the record stream.
//
// With `infile "<a FIFO>"` the device reads its capture from that FIFO, as a client
// reads from its server: the open waits until a writer holds the FIFO, each read until
// data comes or the writer leaves (an end of file reads as silence). The opens and
// reads waiting there are counted as the device itself sees them, on every
// architecture and under an emulator alike: veldora_blocking_opens_waiting() and
// veldora_blocking_reads_waiting().
//
// A test that loads this library itself scripts the "server" through three calls:
// veldora_blocking_fail_starts(n) refuses the next n starts; veldora_blocking_pass_stops(n)
// lets the next n stops through a closed gate (a server that froze just after them);
// veldora_blocking_fail_reads(1) fails every read from then on, as a server that died
// under a running capture, until veldora_blocking_fail_reads(0).
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace {

std::atomic<int> gStopsWaiting{0};
std::atomic<int> gOpensWaiting{0};
std::atomic<int> gReadsWaiting{0};
std::atomic<int> gStartsToFail{0};
std::atomic<int> gStopsToPass{0};
std::atomic<bool> gReadsFail{false};

// One of the next `budget` calls: true when this one is.
bool takeOne(std::atomic<int>& budget) {
    int left = budget.load();
    while (left > 0 && !budget.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

struct BlockingPcm {
    snd_pcm_ioplug_t io{};
    std::string gate;
    bool refuseStart = false;
    int infile = -1;
    std::chrono::steady_clock::time_point started;
};

BlockingPcm* self(snd_pcm_ioplug_t* io) {
    return static_cast<BlockingPcm*>(io->private_data);
}

int start(snd_pcm_ioplug_t* io) {
    if (self(io)->refuseStart || takeOne(gStartsToFail)) {
        return -EIO;
    }
    self(io)->started = std::chrono::steady_clock::now();
    return 0;
}

int stop(snd_pcm_ioplug_t* io) {
    if (takeOne(gStopsToPass)) {
        return 0;
    }
    const std::string& gate = self(io)->gate;
    if (!gate.empty()) {
        gStopsWaiting.fetch_add(1);
        const int fd = ::open(gate.c_str(), O_WRONLY | O_CLOEXEC);
        gStopsWaiting.fetch_sub(1);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return 0;
}

// Frames captured since the start, as a position in the buffer.
snd_pcm_sframes_t pointer(snd_pcm_ioplug_t* io) {
    if (io->state != SND_PCM_STATE_RUNNING || io->buffer_size == 0) {
        return 0;
    }
    const auto elapsed = std::chrono::steady_clock::now() - self(io)->started;
    const auto frames =
        std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * io->rate / 1'000'000;
    return static_cast<snd_pcm_sframes_t>(static_cast<snd_pcm_uframes_t>(frames) % io->buffer_size);
}

snd_pcm_sframes_t transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    if (gReadsFail.load()) {
        return -EIO;
    }
    snd_pcm_areas_silence(areas, offset, io->channels, size, io->format);
    if (self(io)->infile >= 0) {
        // What the FIFO holds is not looked at: a reader that waits is what counts.
        char data[256];
        gReadsWaiting.fetch_add(1);
        const ssize_t got = ::read(self(io)->infile, data, sizeof data);
        gReadsWaiting.fetch_sub(1);
        if (got < 0) {
            return -errno;
        }
    }
    return static_cast<snd_pcm_sframes_t>(size);
}

int closeDevice(snd_pcm_ioplug_t* io) {
    BlockingPcm* pcm = self(io);
    ::close(io->poll_fd);
    if (pcm->infile >= 0) {
        ::close(pcm->infile);
    }
    delete pcm;
    return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
    snd_pcm_ioplug_callback_t callbacks{};
    callbacks.start = start;
    callbacks.stop = stop;
    callbacks.pointer = pointer;
    callbacks.transfer = transfer;
    callbacks.close = closeDevice;
    return callbacks;
}();

int constrain(snd_pcm_ioplug_t* io) {
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE, SND_PCM_FORMAT_S24_3LE,
                                           SND_PCM_FORMAT_S32_LE};
    int rc = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access);
    if (rc == 0) {
        rc = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 4, formats);
    }
    if (rc == 0) {
        rc = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
    }
    if (rc == 0) {
        rc = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 8000, 96000);
    }
    if (rc == 0) {
        rc = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20);
    }
    if (rc == 0) {
        rc = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    }
    return rc;
}

} // namespace

extern "C" {

int veldora_blocking_stops_waiting() {
    return gStopsWaiting.load();
}

int veldora_blocking_opens_waiting() {
    return gOpensWaiting.load();
}

int veldora_blocking_reads_waiting() {
    return gReadsWaiting.load();
}

void veldora_blocking_fail_starts(int count) {
    gStartsToFail.store(count);
}

void veldora_blocking_pass_stops(int count) {
    gStopsToPass.store(count);
}

void veldora_blocking_fail_reads(int fail) {
    gReadsFail.store(fail != 0);
}

SND_PCM_PLUGIN_DEFINE_FUNC(veldora_blocking) {
    (void)root;
    auto* pcm = new BlockingPcm;
    snd_config_iterator_t i = nullptr;
    snd_config_iterator_t next = nullptr;
    snd_config_for_each(i, next, conf) {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* id = nullptr;
        const char* value = nullptr;
        if (snd_config_get_id(entry, &id) != 0) {
            continue;
        }
        if (std::strcmp(id, "gate") == 0 && snd_config_get_string(entry, &value) == 0) {
            pcm->gate = value;
        } else if (std::strcmp(id, "refuse_start") == 0) {
            pcm->refuseStart = snd_config_get_bool(entry) == 1;
        } else if (std::strcmp(id, "infile") == 0 && snd_config_get_string(entry, &value) == 0) {
            gOpensWaiting.fetch_add(1);
            pcm->infile = ::open(value, O_RDONLY | O_CLOEXEC);
            gOpensWaiting.fetch_sub(1);
            if (pcm->infile < 0) {
                const int error = errno;
                delete pcm;
                return -error;
            }
        }
    }
    pcm->io.version = SND_PCM_IOPLUG_VERSION;
    pcm->io.name = "Veldora test device whose stop blocks";
    pcm->io.callback = &kCallbacks;
    pcm->io.private_data = pcm;
    // Always readable: the device never makes a reader wait in poll.
    pcm->io.poll_fd = eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK);
    pcm->io.poll_events = POLLIN;
    int rc = snd_pcm_ioplug_create(&pcm->io, name, stream, mode);
    if (rc < 0) {
        ::close(pcm->io.poll_fd);
        if (pcm->infile >= 0) {
            ::close(pcm->infile);
        }
        delete pcm;
        return rc;
    }
    if ((rc = constrain(&pcm->io)) < 0) {
        snd_pcm_ioplug_delete(&pcm->io); // closes through closeDevice
        return rc;
    }
    *pcmp = pcm->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(veldora_blocking)

} // extern "C"
