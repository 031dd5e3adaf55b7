#pragma once
// The in-memory sample table: the upload on display, filled by the raw data file reader or by
// opening a saved CSV file, shown by the grid, written by the CSV export, printed by the report.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/header.h"

namespace kestrand::store {

inline constexpr int kMaxSamples = 16300;            // samples a table (and a file) holds
inline constexpr int kSampleRows = kMaxSamples + 1;  // rows 0..16300 are allocated
inline constexpr int kValueColumns = 21;             // SampleData columns 0..20
inline constexpr int kTableColumns = 26;             // ColUsed and ColTitle, 0..25
inline constexpr int kDateColumn = 20;
inline constexpr int kTimeColumn = 21;
inline constexpr int kProbeColumn = 22;
inline constexpr int kMoveAvgColumn = 23;
inline constexpr int kUnitsColumn = 24;

// The fixed column titles: 0..19 value columns, 20 date, 21 time, 22 probe, 23 moving average,
// 24 units, 25 none.
inline constexpr std::array<std::string_view, kTableColumns> kColTitle = {
    "X-Point", "X-Min",  "X-Max", "X-Avg", "Y-Point", "Y-Min",    "Y-Max", "Y-Avg", "Z-Point",
    "Z-Min",   "Z-Max",  "Z-Avg", "Field", "Min",     "Max",      "Avg",   "Field", "X-Data",
    "Y-Data",  "Z-Data", "Date",  "Time",  "Probe",   "Move-Avg", "Units", ""};

// One text column of the table, rows 0..16300: its stretch of the block TextColumns owns.
class TextColumn {
 public:
  std::string& operator[](std::size_t j) { return rows_[j]; }
  const std::string& operator[](std::size_t j) const { return rows_[j]; }
  std::string* begin() { return rows_; }
  const std::string* begin() const { return rows_; }
  std::string* end() { return rows_ + size(); }
  const std::string* end() const { return rows_ + size(); }
  static constexpr std::size_t size() { return kSampleRows; }

 private:
  friend class TextColumns;
  std::string* rows_ = nullptr;
};

// The table's four text columns (columns 20, 21, 22 and 24) in one block of memory, made, copied
// and dropped as one. The programs put blocks of a megabyte or more into huge pages; four columns
// of half a megabyte each would fault in 4 KB at a time, at several microseconds a page.
class TextColumns {
 public:
  TextColumns() { point(); }
  TextColumns(const TextColumns& other) : block_(other.block_) { point(); }
  TextColumns(TextColumns&& other) noexcept : block_(std::move(other.block_)) {
    point();
    other.point();
  }
  TextColumns& operator=(const TextColumns& other) {
    block_ = other.block_;
    point();
    return *this;
  }
  TextColumns& operator=(TextColumns&& other) noexcept {
    block_ = std::move(other.block_);
    point();
    other.point();
    return *this;
  }
  ~TextColumns() = default;
  bool operator==(const TextColumns& other) const { return block_ == other.block_; }

  TextColumn SampleDate;
  TextColumn SampleTime;
  TextColumn SampleProbe;
  TextColumn SampleUnits;

 private:
  // A moved-from block is empty: its columns point nowhere, as a moved-from vector holds nothing.
  void point() {
    std::string* rows = block_.empty() ? nullptr : block_.data();
    for (TextColumn* column : {&SampleDate, &SampleTime, &SampleProbe, &SampleUnits}) {
      column->rows_ = rows;
      if (rows != nullptr) rows += kSampleRows;
    }
  }
  std::vector<std::string> block_ = std::vector<std::string>(std::size_t{4} * kSampleRows);
};

// Every array is allocated once at its full size; nothing grows while a file is read.
struct SampleTable : TextColumns {
  std::int16_t NumSamples = 0;                                       // valid rows, 0..16300
  std::array<std::int16_t, kTableColumns> ColUsed{};                 // > 0: the column is in use
  std::vector<float> MoveAvgData = std::vector<float>(kSampleRows);  // column 23
  // Cells (row, column) of an opened CSV file whose text was no number: they keep the value they
  // had, which is no reading, so the statistics leave them out. Emptied by clear_regs and by
  // every raw data file read.
  std::vector<std::pair<int, int>> unreadCells;
  // When each sample was taken, in tenths of a second (datetime::Tenths): worked out once as the
  // file is read, so that nothing needs to read the texts above back. kNoInstant where a text
  // could not be read.
  std::vector<std::int64_t> instants = std::vector<std::int64_t>(kSampleRows);
  // The instants count from the start of logging (an elapsed-time upload), not from 1970.
  bool elapsedClock = false;

  static std::string_view ColTitle(int column) { return kColTitle[static_cast<size_t>(column)]; }

  // Value of column k (0..20) for sample j (0..16300). One column's samples lie together.
  float& SampleData(int k, int j) { return data_[index(k, j)]; }
  float SampleData(int k, int j) const { return data_[index(k, j)]; }
  // Column k's values from sample 0 on.
  const float* column(int k) const { return &data_[index(k, 0)]; }

  bool operator==(const SampleTable&) const = default;

 private:
  static size_t index(int k, int j) {
    return static_cast<size_t>(k) * kSampleRows + static_cast<size_t>(j);
  }
  std::vector<float> data_ = std::vector<float>(static_cast<size_t>(kValueColumns) * kSampleRows);
};

// Empties the table: `MoveAveText` and the in-use marks 0..24 (mark 25 is left alone); the
// moving averages and the four texts of rows 0..16299 (row 16300 is left alone); the values of
// columns 0..19 in every row. `NumSamples` is not changed.
void clear_regs(SampleTable& table, HeaderFields& header);

}  // namespace kestrand::store
