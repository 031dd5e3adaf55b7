#include "store/header_block.h"

#include <bit>

namespace kestrand::store {

void readHeaderBlock(FieldReader& in, HeaderBlock& b) {
  b.fieldsRead = 0;
  b.date = in.readText();
  ++b.fieldsRead;
  b.time = in.readText();
  ++b.fieldsRead;
  b.ProbeType = in.readInt16();
  ++b.fieldsRead;
  b.LogMode = in.readInt16();
  ++b.fieldsRead;
  b.LogRate = in.readInt16();
  ++b.fieldsRead;
  b.DataFormat = in.readInt32();
  ++b.fieldsRead;
  b.MoveAve = in.readInt32();
  ++b.fieldsRead;
  if (b.LogMode == 2) {
    b.PeriodOn = in.readSingle();
    ++b.fieldsRead;
    b.PeriodOff = in.readSingle();
    ++b.fieldsRead;
  }
}

void HeaderBlock::assignTo(HeaderFields& h, std::string& dateTo, std::string& timeTo) const {
  // Each field in file order, as far as the reading came.
  if (fieldsRead > 0) dateTo = date;
  if (fieldsRead > 1) timeTo = time;
  if (fieldsRead > 2) h.ProbeType = ProbeType;
  if (fieldsRead > 3) h.LogMode = LogMode;
  if (fieldsRead > 4) h.LogRate = LogRate;
  if (fieldsRead > 5) h.DataFormat = DataFormat;
  if (fieldsRead > 6) h.MoveAve = MoveAve;
  if (fieldsRead > 7) h.PeriodOn = PeriodOn;
  if (fieldsRead > 8) h.PeriodOff = PeriodOff;
}

int HeaderBlock::recordFields() const {
  const bool stamped = LogMode == 0 || LogMode == 4 || LogMode == 5;
  return 2 + (stamped ? 2 : 0) + (MoveAve != 0 ? 1 : 0) +
         std::popcount(static_cast<std::uint32_t>(DataFormat));
}

}  // namespace kestrand::store
