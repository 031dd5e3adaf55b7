#pragma once
// The largest upload the benchmarks read: 16300 periodic records (30 s on, 90 s off at 0.5 s)
// of all sixteen value columns and a moving average, written with the upload's own writer
// functions. `startTime` places it in the day; `value(i, k)` gives record i's column k.

#include <functional>
#include <string>

#include "store/header.h"
#include "store/raw_format.h"
#include "store/sample_table.h"

namespace kestrand::bench {

inline std::string fullUpload(const std::string& startTime,
                              const std::function<double(int i, int k)>& value) {
  store::HeaderFields h;
  h.SampDate = "01/15/2006";
  h.SampTime = startTime;
  h.LogMode = 2;
  h.LogRate = 0;
  h.DataFormat = 0xFFFF;
  h.MoveAve = 60;
  h.PeriodOn = 30;
  h.PeriodOff = 90;
  std::string file = store::headerLine1(h, 2) + store::headerLine2(h);
  for (int i = 0; i < store::kMaxSamples; ++i) {
    file += store::rawLine({store::intField(i % 128), store::intField(0)});
    file += store::rawLine({store::doubleField(100.0 + i * 0.00731)});
    for (int k = 0; k < 16; ++k) {
      file += store::rawLine({store::doubleField(store::roundThousandths(value(i, k)))});
    }
  }
  return file;
}

}  // namespace kestrand::bench
