#pragma once

#include <QImage>

// The difference view: the errors a FidelityMeter kept, made visible. The
// strongest differences of the picture as shown reach white, whatever their
// size, so a good compression is as readable as a bad one.

// Grey peaks reduced to `size` by their maximum, so a reduction never averages
// an error away. A larger size repeats pixels.
QImage peakReduced(const QImage& peaks, QSize size);

// The whole-number gain that brings the 99.5th percentile of the peaks to
// white: a few hot pixels are left to clip rather than darken the rest. When
// fewer pixels than that differ at all, their largest error sets it. 1 for no
// difference.
int differenceGain(const QImage& peaks);

// The peaks times the gain, at most white, as an opaque grey picture.
QImage amplifiedPeaks(const QImage& peaks, int gain);
