#pragma once

#include <stop_token>

class PreparedPictureCache;

#include <functional>
#include <optional>

#include <QtGlobal>

class QImage;

// The number of bytes saveJpeg would write for `picture` at `quality`,
// counted as the encoder produces them and never kept or written anywhere.
// Empty when stopped or when the encoder refuses the picture.
// With `prepared`, the picture's preparation is taken from there and kept there.
std::optional<qint64> encodedJpegSize(const QImage& picture, int quality, std::stop_token stop = {},
                                      PreparedPictureCache* prepared = nullptr);

struct TargetQuality {
    enum Outcome {
        Found,     // `quality` fits; quality + 1 does not, or quality is 100
        TooLarge,  // even quality 1 is larger than the limit
        Abandoned,
        Failed,    // a size could not be had
    } outcome = Failed;
    int quality = 0;
    int encodings = 0; // how many sizes were asked for
    qint64 size = 0;   // the size at `quality` when found; at quality 1 when too large
};

using SizeAt = std::function<std::optional<qint64>(int quality)>;

// The highest quality 1..100 whose size is at most `limit` bytes. Without a
// `guess`, by bisection: at most 7 sizes are asked for. With one, the guess
// and its neighbour are measured first, then bisection of what is left: 2
// sizes for a right guess, at most 9 for a wrong one.
// Sizes need not grow with quality everywhere; the answer still holds for its
// own neighbour, as both were measured. `stop` is looked at before each size.
TargetQuality findTargetQuality(qint64 limit, const SizeAt& sizeAt, std::stop_token stop = {},
                                int guess = 0);

// A guess for the search on a large picture: the answer for every eighth band
// of 16 rows, with the limit scaled to match (a fraction of the cost of one
// whole encoding). 0, meaning no guess, for small pictures, when stopped or
// when a sample size could not be had. `sizeOf` measures any picture.
int guessTargetQuality(const QImage& picture, qint64 limit,
                       const std::function<std::optional<qint64>(const QImage&, int quality)>& sizeOf,
                       std::stop_token stop = {});
