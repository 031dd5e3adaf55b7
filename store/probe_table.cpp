#include "store/probe_table.h"

#include <array>
#include <initializer_list>

#include "core/error.h"

namespace kestrand::store {

void ProbeTable::InitProbeTable() {
  // The superscript two (byte 178 of the single-byte code page), built once.
  const std::string sq(1, static_cast<char>(178));
  const std::string mWcm2 = "mW/cm" + sq;
  const std::string Vm2 = "[V/m]" + sq;
  const std::string mAm2 = "m[A/m]" + sq;
  const std::string kVm2 = "k[V/m]" + sq;
  const std::string Am2 = "[A/m]" + sq;
  const std::string Wm2 = "W/m" + sq;
  const std::string uWcm2 = "uW/cm" + sq;

  struct Fill {
    int row;
    const char* model;
    std::array<std::string, 7> units;
  };
  const std::initializer_list<Fill> fills = {
      {0, "QV-1100", {"V/m", mWcm2, Vm2, "", "", "", ""}},
      {1, "QV-1200ABA", {"mA/m", mAm2, mWcm2, "", "", "", ""}},
      {2, "QV-1200BCB", {"V/m", kVm2, mWcm2, "", "", "", ""}},
      {3, "QV-1200CDC", {"V/m", Vm2, "", "", "", "", ""}},
      {4, "QV-1200DED", {"V/m", kVm2, mWcm2, "", "", "", ""}},
      {5, "QV-1200EFE", {"A/m", Am2, mWcm2, "", "", "", ""}},
      {6, "QV-1200FGF", {"V/m", Vm2, mWcm2, "", "", "", ""}},
      {7, "QV-1300", {"V/m", "", "", "", "", "", ""}},
      {8, "QV-1400", {"mA", "", "", "", "", "", ""}},
      {9, "QV-1200GH", {"mA/m", mAm2, mWcm2, "", "", "", ""}},
      {10, "QV-1500", {"V/m", mWcm2, Vm2, "", "", "", ""}},
      {11, "QV-1510", {"V/m", Vm2, mWcm2, "", "", "", ""}},
      {12, "QV-1520", {"V/m", mWcm2, kVm2, "N/A", "", "", ""}},
      {13, "QV-1530", {"mA/m", mWcm2, mAm2, "", "", "", ""}},
      {14, "QV-1600", {"V/m", mWcm2, Vm2, "", "", "", ""}},
      {15, "QV-1540", {"V/m", mWcm2, Vm2, "", "", "", ""}},
      {16, "R510", {"V/m", mWcm2, Wm2, uWcm2, "", "", ""}},
      {17, "R520", {"V/m", mWcm2, Wm2, uWcm2, "A/m", "mA/m", ""}},
      {18, "R530 FCC", {"", "", "", "", "", "", "%"}},
      {19, "R531 ICNIRP", {"", "", "", "", "", "", "%"}},
  };

  for (const Fill& f : fills) {
    ProbeRecord& rec = rows_[static_cast<size_t>(f.row)];
    rec.ModelName = f.model;
    rec.UnitsText = f.units;
    for (size_t u = 0; u < rec.UnitsText.size(); ++u) {
      rec.ScaleFactor[u].fill(rec.UnitsText[u].empty() ? std::int16_t{0} : std::int16_t{1});
    }
  }
}

const ProbeRecord& ProbeTable::row(int probeType) const {
  if (probeType < 0 || probeType >= kRows) {
    throw Error(ErrorKind::kIndexOutOfRange,
                "Subscript out of range (probe " + std::to_string(probeType) + ")");
  }
  return rows_[static_cast<size_t>(probeType)];
}

const std::string& ProbeTable::UnitsText(int probeType, int unitsCode) const {
  const ProbeRecord& rec = row(probeType);
  if (unitsCode < 0 || unitsCode >= static_cast<int>(rec.UnitsText.size())) {
    throw Error(ErrorKind::kIndexOutOfRange,
                "Subscript out of range (units code " + std::to_string(unitsCode) + ")");
  }
  return rec.UnitsText[static_cast<size_t>(unitsCode)];
}

bool VerifyHeader(const std::string& /*SampDate*/, const std::string& /*SampTime*/,
                  std::int16_t ProbeType, std::int16_t LogMode, std::int16_t LogRate,
                  std::int32_t DataFormat, std::int32_t MoveAve) {
  return ProbeType >= 0 && ProbeType <= 31 && LogMode >= 0 && LogMode <= 5 && LogRate >= 0 &&
         LogRate <= 15 && DataFormat >= 1 && DataFormat <= 65535 && MoveAve >= 0 &&
         MoveAve <= 65534;
}

std::string_view logModeListName(std::int16_t logMode, std::int16_t extLogMode) {
  switch (logMode) {
    case 0:
      if (extLogMode == 1) return "Continuous";
      if (extLogMode == 2) return "Spatial";
      return "Single Pt.";
    case 1:
      return "Continuous";
    case 2:
      return "Periodic  ";
    case 3:
      return "Scheduled ";
    case 4:
      return "Continuous";
    case 5:
      return "Spatial";
    default:
      return "Unknown   ";
  }
}

std::string logModeText(std::int16_t logMode) {
  const char* name = "Unknown   ";
  switch (logMode) {
    case 0:
      name = "Single Pt.";
      break;
    case 1:
    case 4:
      name = "Continuous";
      break;
    case 2:
      name = "Periodic  ";
      break;
    case 3:
      name = "Scheduled ";
      break;
    case 5:
      name = "Spatial ";
      break;
    default:
      break;
  }
  return std::string("Logging Mode - ") + name;
}

float logInterval(std::int16_t logRate) {
  static constexpr std::array<float, 9> kSeconds = {0.5f, 1.0f, 1.2f,  1.5f, 2.0f,
                                                    3.0f, 6.0f, 12.0f, 60.0f};
  if (logRate < 0 || logRate >= static_cast<int>(kSeconds.size())) return 1.0f;
  return kSeconds[static_cast<size_t>(logRate)];
}

}  // namespace kestrand::store
