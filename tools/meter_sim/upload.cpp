#include "tools/meter_sim/upload.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kestrand::meter_sim {

namespace {

// splitmix64: small, fast and identical on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t state_;
};

// Source of the value codes of an upload: pseudo-random with exponent 0..4, or the
// stuffing-heavy cycle.
class ValueSource {
 public:
  ValueSource(std::uint64_t seed, bool heavy) : random_(seed), heavy_(heavy) {}
  std::uint16_t next() {
    if (heavy_) {
      const std::uint16_t code = kStuffingHeavyCodes[cycle_ % std::size(kStuffingHeavyCodes)];
      ++cycle_;
      return code;
    }
    const std::uint64_t r = random_.next();
    return valueCode(static_cast<unsigned>(r % 5), static_cast<unsigned>((r >> 8) % 8192));
  }

 private:
  Random random_;
  bool heavy_;
  std::size_t cycle_ = 0;
};

}  // namespace

std::uint16_t valueCode(unsigned exponent, unsigned mantissa) {
  if (exponent > 7 || mantissa > 8191) throw std::invalid_argument("value code out of range");
  return static_cast<std::uint16_t>((exponent << 13) | mantissa);
}

double decodeValue(std::uint16_t code) {
  const unsigned exponent = code >> 13;
  const unsigned mantissa = code & 0x1FFFu;
  double scale = 1.0;
  for (unsigned i = 0; i < exponent; ++i) scale *= 10.0;
  return static_cast<double>(mantissa) / scale;
}

std::uint16_t modeWord(int probe, int mode, int logRate, bool elapsed) {
  const unsigned word = (static_cast<unsigned>(probe & 0xF) << 12) |
                        (static_cast<unsigned>(mode & 0x3) << 10) |
                        (static_cast<unsigned>(logRate & 0xF) << 6) | (elapsed ? 0x10u : 0u);
  return static_cast<std::uint16_t>(word);
}

bool usesLongHeader(const UploadDescription& d) {
  return d.longHeader || d.mode == 2;
}

bool recordsCarryStamp(const UploadDescription& d) {
  return d.mode == 0 || (d.elapsed && (d.mode == 1 || d.mode == 2));
}

HeaderFields headerFields(const UploadDescription& d) {
  HeaderFields h;
  if (d.elapsed) {
    h.stampOrFileNumber = d.fileNumber;
  } else {
    const auto stamp = stampOf(d.start);
    if (!stamp) throw std::invalid_argument("the start lies outside the meter's calendar");
    h.stampOrFileNumber = *stamp;
  }
  h.modeWord = modeWord(d.probe, d.mode, d.logRate, d.elapsed);
  h.dataFormat = d.columns;
  h.moveAve = d.moveAve;
  h.longForm = usesLongHeader(d);
  h.periodOn = d.periodOn;
  h.periodOff = d.periodOff;
  return h;
}

Bytes headerBody(const HeaderFields& h) {
  Bytes body;
  appendBe32(body, h.stampOrFileNumber);
  appendBe16(body, h.modeWord);
  appendBe16(body, h.dataFormat);
  appendBe16(body, h.moveAve);
  if (h.longForm) {
    appendBe32(body, h.periodOn);
    appendBe32(body, h.periodOff);
  }
  return body;
}

float logIntervalSeconds(int logRate) {
  switch (logRate) {
    case 0:
      return 0.5f;
    case 1:
      return 1.0f;
    case 2:
      return 1.2f;
    case 3:
      return 1.5f;
    case 4:
      return 2.0f;
    case 5:
      return 3.0f;
    case 6:
      return 6.0f;
    case 7:
      return 12.0f;
    case 8:
      return 60.0f;
    default:
      return 1.0f;
  }
}

std::uint32_t stampStepSeconds(int logRate) {
  const auto whole = static_cast<std::uint32_t>(logIntervalSeconds(logRate));
  return whole < 1 ? 1 : whole;
}

std::size_t recordSize(const UploadDescription& d) {
  return 2 + (recordsCarryStamp(d) ? 4 : 0) + (d.moveAve != 0 ? 2 : 0) +
         2 * static_cast<std::size_t>(std::popcount(d.columns));
}

void appendRecord(Bytes& out, const Record& r) {
  out.push_back(static_cast<std::uint8_t>(r.tag | 0x80u));
  out.push_back(r.units);
  if (r.stamp) appendBe32(out, *r.stamp);
  if (r.moveAvg) appendBe16(out, *r.moveAvg);
  for (std::uint16_t v : r.values) appendBe16(out, v);
}

std::vector<Record> makeRecords(const UploadDescription& d) {
  ValueSource source(d.seed, d.stuffingHeavy);
  const std::uint32_t step = stampStepSeconds(d.logRate);
  const bool stamped = recordsCarryStamp(d);
  const int columnCount = std::popcount(d.columns);
  const std::int64_t startDay = meterDayNumber(d.start);
  std::vector<Record> records;
  records.reserve(d.records);
  for (std::uint32_t i = 0; i < d.records; ++i) {
    Record r;
    r.number = i + 1;
    r.tag = static_cast<std::uint8_t>(r.number % 128);
    r.units = d.stuffingHeavy ? kStuffingHeavyUnits : d.units;
    if (stamped) {
      const std::int64_t offset = static_cast<std::int64_t>(i) * step;
      if (d.elapsed) {
        // Elapsed seconds since the start of the run; the word holds 17 bits of them.
        if (offset > 131071 || startDay < 0 || startDay > kMaxMeterDay) {
          throw std::invalid_argument("record " + std::to_string(r.number) +
                                      ": elapsed seconds do not fit the stamp");
        }
        r.stamp =
            packStamp(static_cast<std::uint32_t>(startDay), static_cast<std::uint32_t>(offset));
      } else {
        const auto stamp = stampOf(addSeconds(d.start, offset));
        if (!stamp) {
          throw std::invalid_argument("record " + std::to_string(r.number) +
                                      ": stamp lies outside the meter's calendar");
        }
        r.stamp = *stamp;
      }
    }
    if (d.moveAve != 0) r.moveAvg = source.next();
    for (int c = 0; c < columnCount; ++c) r.values.push_back(source.next());
    records.push_back(std::move(r));
  }
  return records;
}

std::vector<PlannedMessage> planUpload(const UploadDescription& d,
                                       const std::vector<Record>& records) {
  std::vector<PlannedMessage> plan;
  PlannedMessage header;
  header.type = MessageType::kHeader;
  header.terminator = Terminator::kHeaderEnd;
  header.body = headerBody(headerFields(d));
  plan.push_back(std::move(header));

  const std::size_t perMessage = d.recordsPerMessage == 0 ? 1 : d.recordsPerMessage;
  std::size_t next = 0;
  do {
    PlannedMessage m;
    m.type = MessageType::kData;
    m.firstRecord = next;
    m.recordCount = std::min(perMessage, records.size() - next);
    for (std::size_t i = 0; i < m.recordCount; ++i) appendRecord(m.body, records[next + i]);
    next += m.recordCount;
    m.terminator = next < records.size() ? Terminator::kMoreFollow : Terminator::kLast;
    plan.push_back(std::move(m));
  } while (next < records.size());
  return plan;
}

}  // namespace kestrand::meter_sim
