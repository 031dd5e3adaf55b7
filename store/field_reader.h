#pragma once
// Reads a raw data file's content as one sequence of comma-separated fields, whatever the line
// division: blanks and tabs before a field are skipped; a field in double quotes runs to the
// next quote (the rest up to the comma or line end is ignored); any other field runs to the next
// comma or line end with trailing blanks removed. A comma, CR, LF or CR LF ends a field and is
// consumed with it, so the end of the content shows right after the last field.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrand::store {

// Failures are kestrand::Error: ErrorKind::kTypeMismatch for text that is not a number,
// kOverflow for a number outside the target type, kEndOfFile for a field asked for after the
// end. Numbers take a point as decimal separator, may lack the leading zero (".5", "-.25") and
// may carry an exponent ("1E-04"); whole-number targets round halves to the even neighbour;
// an empty field reads as 0.
class FieldReader {
 public:
  explicit FieldReader(std::string_view content) : s_(content) {}
  std::string readText();
  std::int16_t readInt16();
  std::int32_t readInt32();
  float readSingle();
  double readDouble();
  // True when no further field follows (only blanks and line ends remain).
  bool atEnd() const;
  size_t position() const { return pos_; }

 private:
  std::string_view rawField();
  double readNumber();
  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace kestrand::store
