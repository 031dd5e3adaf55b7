#include "view/report.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>

#include "core/text.h"

namespace kestrand::view {
namespace {

constexpr int kSamplesPerPage = 53;
constexpr int kValueColumnsPerBlock = 9;

// `text` with blanks in front up to `width` characters; a longer text stays whole.
void appendRight(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() < width) out.append(width - text.size(), ' ');
  out += text;
}

// The value columns one block prints, and whether it ends with the moving average.
struct Block {
  int first = 0;
  int last = 19;
  bool moveAvg = true;
};

std::string titleLine(const store::SampleTable& t, const Block& b) {
  std::string line = "Date" + std::string(12, ' ') + "Time" + std::string(12, ' ');
  for (int i = b.first; i <= b.last; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) {
      appendRight(line, store::SampleTable::ColTitle(i), 10);
      line += "  ";
    }
  }
  if (b.moveAvg && t.ColUsed[store::kMoveAvgColumn] > 0) appendRight(line, "Move-Avg", 10);
  return line;
}

std::string sampleLine(const store::SampleTable& t, const Block& b, int j) {
  const auto row = static_cast<std::size_t>(j);
  std::string line;
  appendRight(line, t.SampleDate[row], 10);
  line += "  ";
  appendRight(line, t.SampleTime[row], 11);
  line += "  ";
  for (int i = b.first; i <= b.last; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) {
      appendRight(line, reportNumber(t.SampleData(i, j)), 8);
      line += "    ";
    }
  }
  if (b.moveAvg && t.ColUsed[store::kMoveAvgColumn] > 0) {
    appendRight(line, reportNumber(t.MoveAvgData[row]), 8);
  }
  return line;
}

// The characters a block's title line takes (its widest line) with `values` value columns, and
// the moving average when `moveAvg`; the blanks after the last column do not count.
int blockWidth(int values, bool moveAvg) {
  return 32 + 12 * values + (moveAvg ? 10 : -2);
}

// The report's blocks: the value columns in use, as many to a block as fit `characters`, the
// moving average with the last.
std::vector<Block> fittingBlocks(const store::SampleTable& t, int characters) {
  const bool moveAvg = t.ColUsed[store::kMoveAvgColumn] > 0;
  std::vector<int> used;
  for (int i = 0; i < 20; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) used.push_back(i);
  }
  std::vector<Block> blocks;
  std::size_t k = 0;
  while (k < used.size()) {
    // At least one column a block, whatever the width.
    std::size_t n = 1;
    while (k + n < used.size() && blockWidth(static_cast<int>(n) + 1, false) <= characters) ++n;
    const bool last = k + n == used.size();
    if (last && moveAvg && n > 1 && blockWidth(static_cast<int>(n), true) > characters) --n;
    blocks.push_back({used[k], used[k + n - 1], false});
    k += n;
  }
  if (blocks.empty()) return {Block{}};
  blocks.back().last = 19;
  blocks.back().moveAvg = true;
  return blocks;
}

// One block or two: up to nine columns in use (the moving average counted) print at once;
// more split after the eighth value column in use, the moving average going with the second.
std::vector<Block> blocksOf(const store::SampleTable& t) {
  int inUse = t.ColUsed[store::kMoveAvgColumn] > 0 ? 1 : 0;
  int eighth = -1;
  int values = 0;
  for (int i = 0; i < 20; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) {
      ++inUse;
      if (++values == 8) eighth = i;
    }
  }
  if (inUse <= kValueColumnsPerBlock) return {Block{}};
  return {Block{0, eighth, false}, Block{eighth + 1, 19, true}};
}

}  // namespace

std::string reportNumber(float v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  if (res.ec != std::errc()) return "#####";
  return std::string(buf, res.ptr);
}

namespace {

std::vector<ReportPage> listing(const store::SampleTable& t, const store::HeaderFields& h,
                                int characters) {
  std::vector<std::string> probeLines = {"Probe:  " + h.ProbeName + std::string(30, ' ') +
                                         " Units: " + h.UnitsName};
  if (t.ColUsed[store::kMoveAvgColumn] > 0) {
    const std::string moveAvg = "Move Average = " + h.MoveAveText;
    // Too long for the report's page, the moving average takes a line of its own.
    if (characters > 0 && probeLines[0].size() + 25 + moveAvg.size() > std::size_t(characters)) {
      probeLines.push_back(moveAvg);
    } else {
      probeLines[0] += std::string(25, ' ') + moveAvg;
    }
  }
  const std::vector<Block> blocks = characters > 0 ? fittingBlocks(t, characters) : blocksOf(t);
  const int totalPages = (t.NumSamples / kSamplesPerPage + 1) * static_cast<int>(blocks.size());
  const auto footer = [&](int page) {
    return "Page " + signedText(page) + " of " + signedText(totalPages) + "\r";
  };

  std::vector<ReportPage> pages;
  int pageNumber = 0;
  for (const Block& b : blocks) {
    const std::string title = titleLine(t, b);
    const auto head = [&](std::initializer_list<std::string> rest) {
      ReportPage page{probeLines};
      page.lines.insert(page.lines.end(), rest);
      return page;
    };
    pages.push_back(head({"", title, ""}));
    int counter = 1;
    for (int j = 0; j < t.NumSamples; ++j) {
      pages.back().lines.push_back(sampleLine(t, b, j));
      if (++counter == kSamplesPerPage + 1) {
        pages.back().lines.insert(pages.back().lines.end(), {" \r", " ", footer(++pageNumber)});
        counter = 1;
        // Continuation pages have no empty line between the probe and the title line.
        pages.push_back(head({title, ""}));
      }
    }
    for (; counter <= kSamplesPerPage + 1; ++counter) pages.back().lines.emplace_back(" ");
    pages.back().lines.insert(pages.back().lines.end(), {" \r", footer(++pageNumber)});
  }
  return pages;
}

}  // namespace

std::vector<ReportPage> PrintReport(const store::SampleTable& t, const store::HeaderFields& h) {
  return listing(t, h, 0);
}

std::vector<ReportPage> ReportListing(const store::SampleTable& t, const store::HeaderFields& h) {
  return listing(t, h, kReportPageCharacters);
}

std::size_t listingPageCount(const store::SampleTable& t) {
  const int perBlock = std::max<int>(t.NumSamples, 0) / kSamplesPerPage + 1;
  return static_cast<std::size_t>(perBlock) * fittingBlocks(t, kReportPageCharacters).size();
}

std::vector<std::string> cutColumns(const store::SampleTable& t, int characters) {
  std::vector<std::string> cut;
  for (const Block& b : blocksOf(t)) {
    int values = 0;
    for (int i = b.first; i <= b.last; ++i) {
      if (t.ColUsed[static_cast<std::size_t>(i)] == 0) continue;
      if (blockWidth(++values, false) > characters)
        cut.emplace_back(store::SampleTable::ColTitle(i));
    }
    if (b.moveAvg && t.ColUsed[store::kMoveAvgColumn] > 0 && blockWidth(values, true) > characters)
      cut.emplace_back("Move-Avg");
  }
  return cut;
}

std::string reportText(const std::vector<ReportPage>& pages) {
  std::string out;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) out += "\f\n";
    for (const std::string& line : pages[p].lines) {
      out += line;
      out += '\n';
    }
  }
  return out;
}

}  // namespace kestrand::view
