#pragma once
// The text of a single-precision value in the data grid and the printed report.

#include <string>

namespace kestrand::view {

// At most 7 significant digits, a point as decimal separator, a blank where the sign of a value
// of 0 or more would go, no "0" before the point of a magnitude below 1: " 12.5", " .5",
// "-.25", " 0", "-3". Magnitudes from 1E-05 to below 1E+07 are written out; others take an
// exponent (" 1.234568E+07", "-2.5E-06").
std::string numberText(float v);

}  // namespace kestrand::view
