// The save dialog's target-size search on a 20-megapixel photo, run as the
// dialog runs it (on its worker, the answer handed back to the event loop),
// against one bare libjpeg-turbo encoding of the same picture (quality 50,
// 4:2:0, optimized Huffman tables) in the same run. The targets are what a
// person types for a mail or a form: below, at and above the size at quality 50.
//
// Usage: target_size [runs]            (default 5 runs, medians printed)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>

#include "bench_support.h"
#include "measure/target_size.h"
#include "ui/worker.h"

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One search from the moment it is asked for until the answer is back on
// the event loop's thread.
TargetQuality search(Worker& task, const QImage& picture, qint64 limit, bool guessed = true)
{
    TargetQuality found;
    QEventLoop loop;
    task.run([&](std::stop_token stop) -> Worker::Delivery {
        const auto sizeOf = [&](const QImage& of, int quality) { return encodedJpegSize(of, quality, stop); };
        const int guess = guessed ? guessTargetQuality(picture, limit, sizeOf, stop) : 0;
        const TargetQuality result = findTargetQuality(
            limit, [&](int quality) { return sizeOf(picture, quality); }, stop, guess);
        return [&, result] {
            found = result;
            loop.quit();
        };
    });
    loop.exec();
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("Generating a %d x %d photo-like picture...\n", photoWidth, photoHeight);
    const QImage picture = photo();
    Worker task;

    const auto atFifty = qint64(bareToMemory(picture, true));
    const std::vector<std::pair<const char*, qint64>> targets = {
        {"60% of the size at quality 50", atFifty * 6 / 10},
        {"the size at quality 50", atFifty},
        {"180% of the size at quality 50", atFifty * 18 / 10},
    };
    std::vector<double> bare, bisection;
    TargetQuality bisected;
    std::vector<std::vector<double>> searches(targets.size());
    std::vector<TargetQuality> answers(targets.size());
    // Interleaved, so a slow spell of the machine touches every measure alike.
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        bareToMemory(picture, true);
        bare.push_back(millisecondsSince(start));
        for (std::size_t i = 0; i < targets.size(); ++i) {
            start = Clock::now();
            answers[i] = search(task, picture, targets[i].second);
            searches[i].push_back(millisecondsSince(start));
        }
        start = Clock::now();
        bisected = search(task, picture, targets[1].second, false);
        bisection.push_back(millisecondsSince(start));
    }

    const double bareMs = median(bare);
    std::printf("\n%d runs, median times:\n", runs);
    std::printf("  %-34s %8.1f ms  (%lld bytes)\n", "libjpeg-turbo, one encoding", bareMs, (long long)atFifty);
    double worst = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const double ms = median(searches[i]);
        worst = std::max(worst, ms / bareMs);
        std::printf("  search for %-23s %8.1f ms  quality %d after %d whole encodings, %.2f x one encoding\n",
                    targets[i].first, ms, answers[i].quality, answers[i].encodings, ms / bareMs);
    }
    std::printf("  %-34s %8.1f ms  quality %d after %d whole encodings, %.2f x one encoding\n",
                "(bisection alone, at quality 50)", median(bisection), bisected.quality, bisected.encodings,
                median(bisection) / bareMs);
    std::printf("\nSlowest search / one libjpeg-turbo encoding: %.2f (target <= 8)\n", worst);
    return 0;
}
