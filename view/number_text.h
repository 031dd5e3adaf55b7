#pragma once
// The text of a single-precision value in the data grid and the CSV file.

#include <cstddef>
#include <string>

namespace kestrand::view {

// Room enough for any number text ("-1.234568E+07" is the longest form).
inline constexpr std::size_t kNumberTextRoom = 16;

// At most 7 significant digits, a point as decimal separator, a blank where the sign of a value
// of 0 or more would go, no "0" before the point of a magnitude below 1: " 12.5", " .5",
// "-.25", " 0", "-3". Magnitudes from 1E-05 to below 1E+07 are written out; others take an
// exponent (" 1.234568E+07", "-2.5E-06"). Writes at `out` (kNumberTextRoom bytes of room) and
// returns the end of the text. Bytes after the text's end, within the room, may be written too.
// The CSV file's numbers go without the blank: PlusSign::kNone.
enum class PlusSign { kBlank, kNone };
char* numberText(char* out, float v, PlusSign plus = PlusSign::kBlank);
std::string numberText(float v);
// Appends the text to `out`, written in place: copying it from a buffer of its own would wait on
// the stores that made it.
void appendNumberText(std::string& out, float v, PlusSign plus = PlusSign::kBlank);

}  // namespace kestrand::view
