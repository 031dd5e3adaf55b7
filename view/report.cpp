#include "view/report.h"

#include <charconv>

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

std::vector<ReportPage> PrintReport(const store::SampleTable& t, const store::HeaderFields& h) {
  std::string probeLine =
      "Probe:  " + h.ProbeName + std::string(30, ' ') + " Units: " + h.UnitsName;
  if (t.ColUsed[store::kMoveAvgColumn] > 0) {
    probeLine += std::string(25, ' ') + "Move Average = " + h.MoveAveText;
  }
  const std::vector<Block> blocks = blocksOf(t);
  const int totalPages = (t.NumSamples / kSamplesPerPage + 1) * static_cast<int>(blocks.size());
  const auto footer = [&](int page) {
    return "Page " + signedText(page) + " of " + signedText(totalPages) + "\r";
  };

  std::vector<ReportPage> pages;
  int pageNumber = 0;
  for (const Block& b : blocks) {
    const std::string title = titleLine(t, b);
    pages.push_back({{probeLine, "", title, ""}});
    int counter = 1;
    for (int j = 0; j < t.NumSamples; ++j) {
      pages.back().lines.push_back(sampleLine(t, b, j));
      if (++counter == kSamplesPerPage + 1) {
        pages.back().lines.insert(pages.back().lines.end(), {" \r", " ", footer(++pageNumber)});
        counter = 1;
        // Continuation pages have no empty line between the probe and the title line.
        pages.push_back({{probeLine, title, ""}});
      }
    }
    for (; counter <= kSamplesPerPage + 1; ++counter) pages.back().lines.emplace_back(" ");
    pages.back().lines.insert(pages.back().lines.end(), {" \r", footer(++pageNumber)});
  }
  return pages;
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
