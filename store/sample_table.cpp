#include "store/sample_table.h"

namespace kestrand::store {

void clear_regs(SampleTable& table, HeaderFields& header) {
  header.MoveAveText.clear();
  table.unreadCells.clear();
  for (int k = 0; k < kTableColumns - 1; ++k) table.ColUsed[static_cast<size_t>(k)] = 0;
  for (size_t j = 0; j < kMaxSamples; ++j) {
    table.MoveAvgData[j] = 0.0f;
    table.SampleDate[j].clear();
    table.SampleTime[j].clear();
    table.SampleProbe[j].clear();
    table.SampleUnits[j].clear();
  }
  for (int k = 0; k < 20; ++k) {
    for (int j = 0; j < kSampleRows; ++j) table.SampleData(k, j) = 0.0f;
  }
}

}  // namespace kestrand::store
