#pragma once
// The largest upload the benchmarks read: 16300 periodic records (30 s on, 90 s off at 0.5 s;
// logged without pause unless `periodic`) of all sixteen value columns and a moving average,
// written with the upload's own writer functions. `startTime` places it in the day; `value(i, k)`
// gives record i's column k.

#include <cstddef>
#include <functional>
#include <span>
#include <string>

#include "store/header.h"
#include "store/raw_format.h"
#include "store/sample_table.h"
#include "view/chart.h"

namespace kestrand::bench {

inline std::string fullUpload(const std::string& startTime,
                              const std::function<double(int i, int k)>& value,
                              bool periodic = true) {
  store::HeaderFields h;
  h.SampDate = "01/15/2006";
  h.SampTime = startTime;
  h.LogMode = periodic ? 2 : 1;
  h.LogRate = 0;
  h.DataFormat = 0xFFFF;
  h.MoveAve = 60;
  h.PeriodOn = 30;
  h.PeriodOff = 90;
  std::string file = store::headerLine1(h, h.LogMode) + store::headerLine2(h);
  for (int i = 0; i < store::kMaxSamples; ++i) {
    file += store::rawLine({store::intField(i % 128), store::intField(0)});
    file += store::rawLine({store::doubleField(100.0 + i * 0.00731)});
    for (int k = 0; k < 16; ++k) {
      file += store::rawLine({store::doubleField(store::roundThousandths(value(i, k)))});
    }
  }
  return file;
}

// The points a 1200-pixel chart draws of every run of every series from the start to `x1`, as
// the Chart tab reduces them.
inline std::size_t reducedPoints(const view::ChartData& c, double x1) {
  std::size_t points = 0;
  for (const auto& s : c.series) {
    for (std::size_t r = 0; r < c.runStarts.size(); ++r) {
      const std::size_t b = c.runBegin(r), e = c.runEnd(r);
      if (c.x[b] > x1) break;
      points += view::reduceForPixels(std::span(c.x).subspan(b, e - b),
                                      std::span(s.y).subspan(b, e - b), 0.0, x1, 1200)
                    .size();
    }
  }
  return points;
}

}  // namespace kestrand::bench
