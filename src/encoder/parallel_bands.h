#pragma once

#include <atomic>
#include <stop_token>
#include <thread>
#include <vector>

// Runs work(band, thread) for bands 0..count-1 over `threads` threads (this one
// among them, thread 0), each taking the next band not yet taken. A stop is looked at between
// bands; false when one came before every band was done.
template <typename Work>
bool forEachBand(int count, int threads, const std::stop_token& stop, const Work& work)
{
    std::atomic<int> next{0};
    std::atomic<bool> stopped{false};
    const auto run = [&](int thread) {
        for (int band = next++; band < count; band = next++) {
            if (stop.stop_requested()) {
                stopped = true;
                return;
            }
            work(band, thread);
        }
    };
    std::vector<std::jthread> helpers;
    for (int i = 1; i < threads && i < count; ++i)
        helpers.emplace_back(run, i);
    run(0);
    helpers.clear(); // joins
    return !stopped;
}

// Two: the machines this runs on share their cores with the window thread and the decoder.
inline constexpr int encodingThreads = 2;
