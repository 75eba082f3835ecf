// Instances created and closed on two threads at once, and a platform seam that counts
// the GDI+ startups and shutdowns the host layer asks for while it forwards them.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "host/platform.h"

// Runs body(thread, cycle) for cycles iterations on each of two threads started together.
inline void onTwoThreads(int cycles, const std::function<void(int, int)>& body) {
    std::atomic<int> ready{0};
    auto run = [&](int thread) {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        for (int cycle = 0; cycle < cycles; ++cycle) body(thread, cycle);
    };
    std::thread first(run, 0), second(run, 1);
    first.join();
    second.join();
}

// GDI+ must be started at most once at a time and shut down only with the token it gave.
struct GdiplusCounts {
    std::atomic<int> startups{0};
    std::atomic<int> shutdowns{0};
    std::atomic<int> overlaps{0};  // a startup while started, or a shutdown while not
    std::atomic<bool> running{false};
    std::atomic<uintptr_t> token{0};
};

inline GdiplusCounts gdiplusCounts;
inline const PlatformSeam* forwardedSeam = nullptr;

inline void countingStartGdiplus(uintptr_t* token) {
    if (gdiplusCounts.running.exchange(true)) gdiplusCounts.overlaps.fetch_add(1);
    gdiplusCounts.startups.fetch_add(1);
    forwardedSeam->startGdiplus(token);
    if (*token == 0) *token = 1;  // the absent platform starts nothing; stand in a token
    gdiplusCounts.token.store(*token);
}

inline void countingShutdownGdiplus(uintptr_t token) {
    if (!gdiplusCounts.running.exchange(false) || token != gdiplusCounts.token.load())
        gdiplusCounts.overlaps.fetch_add(1);
    gdiplusCounts.shutdowns.fetch_add(1);
    forwardedSeam->shutdownGdiplus(token);
}

// Installs the counting seam over the build's own one for the life of the object.
struct CountingSeam {
    PlatformSeam seam;
    const PlatformSeam* previous;

    CountingSeam() : seam(nativePlatformSeam()), previous(platform) {
        forwardedSeam = &nativePlatformSeam();
        seam.startGdiplus = countingStartGdiplus;
        seam.shutdownGdiplus = countingShutdownGdiplus;
        gdiplusCounts.startups = 0;
        gdiplusCounts.shutdowns = 0;
        gdiplusCounts.overlaps = 0;
        platform = &seam;
    }
    ~CountingSeam() { platform = previous; }
    CountingSeam(const CountingSeam&) = delete;
    CountingSeam& operator=(const CountingSeam&) = delete;
};
