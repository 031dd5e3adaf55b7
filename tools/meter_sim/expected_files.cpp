#include "tools/meter_sim/expected_files.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kestrand::meter_sim {

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string quoted(const std::string& text) {
  return '"' + text + '"';
}

std::string headerLine1(const UploadDescription& d, const CivilTime& start, bool twoDigitHour) {
  return quoted(dateText(start)) + ',' + quoted(timeText12(start, twoDigitHour)) + ',' +
         std::to_string(d.probe) + ',' + std::to_string(d.mode) + kLineEnd;
}

std::string headerLine2(const UploadDescription& d) {
  std::string line =
      std::to_string(d.logRate) + ',' + std::to_string(d.columns) + ',' + std::to_string(d.moveAve);
  if (d.mode == 2) {
    // The receiver holds the period fields as single-precision numbers.
    line += ',' + formatNumber(static_cast<float>(d.periodOn));
    line += ',' + formatNumber(static_cast<float>(d.periodOff));
  }
  return line + kLineEnd;
}

void appendRecordLines(std::string& out, const Record& r, bool moveAvgKept) {
  out += std::to_string(r.tag) + ',' + std::to_string(r.units) + kLineEnd;
  if (r.stamp) {
    const CivilTime t = civilOfStamp(*r.stamp);
    out += quoted(dateText(t)) + ',' + quoted(timeText12(t, false)) + kLineEnd;
  }
  if (r.moveAvg && moveAvgKept) out += formatNumber(decodeValue(*r.moveAvg)) + kLineEnd;
  for (std::uint16_t v : r.values) out += formatNumber(roundThousandths(decodeValue(v))) + kLineEnd;
}

}  // namespace

std::string formatNumber(double v) {
  if (v == 0.0) return "0";
  // 15 significant digits in scientific form, then laid out positionally.
  std::array<char, 64> buf{};
  std::snprintf(buf.data(), buf.size(), "%.14e", v);
  std::string sci = buf.data();
  std::string sign;
  if (sci.front() == '-') {
    sign = "-";
    sci.erase(0, 1);
  }
  const std::size_t e = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, e - 2);
  const int exponent = std::atoi(sci.c_str() + e + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int point = exponent + 1;  // digits before the decimal point
  std::string text;
  if (point <= 0) {
    text = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    text = digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    text = digits.substr(0, static_cast<std::size_t>(point)) + '.' +
           digits.substr(static_cast<std::size_t>(point));
  }
  return sign + text;
}

double roundThousandths(double v) {
  return std::nearbyint(v * 1000.0) / 1000.0;
}

std::vector<KeptRecord> recordsKept(const UploadDescription& d,
                                    const std::vector<PlannedMessage>& plan,
                                    std::size_t messageLimit) {
  std::vector<KeptRecord> kept;
  const std::int64_t stampBytes = recordsCarryStamp(d) ? 4 : 0;
  for (std::size_t m = 1; m < plan.size() && m < messageLimit; ++m) {
    const PlannedMessage& msg = plan[m];
    const auto length = static_cast<std::int64_t>(msg.body.size());
    std::int64_t at = 0;  // offset into the body
    for (std::size_t k = 0; k < msg.recordCount; ++k) {
      if (!(at < length - 2)) break;
      KeptRecord r;
      r.index = msg.firstRecord + k;
      at += 2 + stampBytes;
      if (d.moveAve != 0 && at < length - 2) {
        r.moveAvgKept = true;
        at += 2;
      }
      at += 2 * static_cast<std::int64_t>(std::popcount(d.columns));
      kept.push_back(r);
    }
  }
  return kept;
}

std::string firstFileName(const CivilTime& start) {
  return "QV " + nameDateText(start) + "  " + nameTimeText(start) + ".dat";
}

std::string continuationFileName(const std::string& firstName, int n) {
  const std::string stem = firstName.substr(0, firstName.size() - 4);
  return stem + static_cast<char>('A' + n - 1) + ".dat";
}

CivilTime continuationStart(const UploadDescription& d, std::uint32_t recordsTotal,
                            const Record& opening) {
  if (d.mode == 0) return civilOfStamp(opening.stamp.value_or(0));
  if (d.mode != 2) return addSeconds(d.start, recordsTotal);
  // Periodic logging: walk the records, adding the pause after each complete period. The
  // receiver keeps the interval, the period and what is left of it in single precision.
  const float interval = logIntervalSeconds(d.logRate);
  const auto on = static_cast<float>(d.periodOn);
  const auto off = static_cast<float>(d.periodOff);
  float left = on - interval;
  double elapsed = 0.0;
  for (std::uint32_t n = 0; n < recordsTotal; ++n) {
    if (left <= 0.0f) {
      left = on;
      elapsed += static_cast<double>(interval) + static_cast<double>(off);
    } else {
      elapsed += static_cast<double>(interval);
      left -= interval;
    }
  }
  return addSeconds(d.start, static_cast<std::int64_t>(std::round(elapsed)));
}

std::vector<ExpectedFile> expectedFiles(const UploadDescription& d,
                                        const std::vector<Record>& records,
                                        const std::vector<PlannedMessage>& plan,
                                        std::size_t messageLimit) {
  if (d.elapsed) {
    throw std::invalid_argument(
        "no expected files for elapsed-time uploads: their names hold the receiver's clock");
  }
  if (messageLimit == 0) return {};  // the header never arrived
  const std::string line2 = headerLine2(d);
  std::vector<ExpectedFile> files;
  files.push_back({firstFileName(d.start), headerLine1(d, d.start, false) + line2});

  std::uint32_t inFile = 0;
  std::uint32_t total = 0;
  for (const KeptRecord& k : recordsKept(d, plan, messageLimit)) {
    const Record& r = records.at(k.index);
    ++total;
    if (++inFile > kRecordsPerFile) {
      const int n = static_cast<int>(files.size());
      if (n > kMaxContinuationFiles) {
        throw std::invalid_argument("the upload needs more files than the receiver can name");
      }
      const CivilTime start = continuationStart(d, total, r);
      files.push_back(
          {continuationFileName(files.front().name, n), headerLine1(d, start, true) + line2});
      inFile = 1;
    }
    appendRecordLines(files.back().content, r, k.moveAvgKept);
  }
  return files;
}

void writeExpectedFiles(const std::string& dir, const std::vector<ExpectedFile>& files) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw std::runtime_error("cannot create " + dir + ": " + ec.message());
  for (const ExpectedFile& f : files) {
    const std::filesystem::path path = std::filesystem::path(dir) / f.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << f.content;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace kestrand::meter_sim
