#pragma once
// The bytes of a PNG file of an opaque picture, made in a few milliseconds. A chart has a few
// hundred colours at most and its lines are mostly upright: its rows are written as indexes into
// a palette, each as its difference from the row above, which leaves runs of zeros that deflate
// squeezes quickly. Qt's own writer offers no choice of row filter: libpng tries all five on
// every row at zlib's level 6, which took 40 ms for the largest upload's chart.

#include <QByteArray>

class QImage;

namespace kestrand::adapters::qt {

// `image` (its colours; any alpha is dropped) as an 8-bit PNG: indexed when it has at most 256
// colours, else RGB. Empty when it cannot be compressed.
QByteArray pngImage(const QImage& image);

}  // namespace kestrand::adapters::qt
