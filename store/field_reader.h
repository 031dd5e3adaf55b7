#pragma once
// Reads a raw data file's content as one sequence of comma-separated fields, whatever the line
// division: blanks and tabs before a field are skipped; a field in double quotes runs to the
// next quote (the rest up to the comma or line end is ignored); any other field runs to the next
// comma or line end with trailing blanks removed. A comma, CR, LF or CR LF ends a field and is
// consumed with it, so the end of the content shows right after the last field.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrand::store {

// The most bytes one field may take, from the end of the field before it up to and including
// its own comma or line end. The longest field the upload writes is a quoted date of a dozen
// characters or a number of at most 15 significant digits with its sign, point and zeros;
// anything longer is not a raw data file's field, and reading stops there instead of holding
// it. A read of N fields therefore never needs more than N times this many bytes.
inline constexpr std::size_t kMaxFieldBytes = 64;

// Failures are kestrand::Error: ErrorKind::kTypeMismatch for text that is not a number,
// kOverflow for a number outside the target type, kEndOfFile for a field asked for after the
// end, kGeneral for a field longer than kMaxFieldBytes. Numbers take a point as decimal
// separator, may lack the leading zero (".5", "-.25") and may carry an exponent ("1E-04");
// whole-number targets round halves to the even neighbour; an empty field reads as 0. A
// failure's text quotes at most kMaxFieldBytes of the field.
class FieldReader {
 public:
  // `cut`: the content is only the first part of the file (a bounded read that filled its
  // bound), so its end is no end of the file: a field that runs into it is too long.
  explicit FieldReader(std::string_view content, bool cut = false) : s_(content), cut_(cut) {}
  // The text of the next field; it points into the content.
  std::string_view readText();
  std::int16_t readInt16();
  std::int32_t readInt32();
  float readSingle();
  // Reads value fields (readSingle) into row `row` of each column of `into`, in turn: the values
  // of a record read in one call, their usual form without a call each.
  void readSingles(std::span<float* const> into, std::size_t row);
  // True when no further field follows (only blanks and line ends remain of a whole file).
  bool atEnd() const;
  std::size_t position() const { return pos_; }

 private:
  std::string_view rawField();
  std::int64_t readWhole(std::int64_t lowest, std::int64_t highest);
  std::size_t nextNonBlank() const;
  std::string_view s_;
  bool cut_;
  std::size_t pos_ = 0;
  // The last look past blanks and line ends: everything from scanFrom_ up to scanHit_ is blank,
  // so a later look from inside that stretch need not scan it again.
  mutable std::size_t scanFrom_ = 1;
  mutable std::size_t scanHit_ = 0;
};

}  // namespace kestrand::store
