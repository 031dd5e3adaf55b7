#include "store/raw_format.h"
#include "store/field_reader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace kestrand::store {
namespace {

TEST(DoubleField, PositionalNotationWithFifteenSignificantDigits) {
  // Sixteen digits are rounded to fifteen; the carry may add a digit.
  // clang-format off
  const std::pair<double, const char*> rows[] = {
      {100, "100"}, {0.124, "0.124"}, {-81.91, "-81.91"}, {-0.0, "0"}, {0.1 + 0.2, "0.3"},
      {1e-20, "0.00000000000000000001"}, {1234567890123456.0, "1234567890123460"},
      {9999999999999999.0, "10000000000000000"}, {2.0 / 3.0, "0.666666666666667"}};
  // clang-format on
  for (const auto& [v, text] : rows) EXPECT_EQ(doubleField(v), text) << v;
}

TEST(SingleField, ShortestTextThatReadsBackAsTheSameSingle) {
  EXPECT_EQ(singleField(1.0f / 3.0f) + " " + singleField(-0.0f) + " " + singleField(FLT_MAX),
            "0.33333334 0 340282350000000000000000000000000000000");
  // Any finite single goes there and back exactly, without an exponent.
  std::mt19937 gen(20060115);
  std::uniform_int_distribution<std::uint32_t> bits;
  for (int checked = 0; checked < 20000;) {
    const std::uint32_t b = bits(gen);
    float f;
    std::memcpy(&f, &b, sizeof f);
    if (!std::isfinite(f)) continue;
    ++checked;
    const std::string text = singleField(f);
    ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    ASSERT_EQ(FieldReader(text).readSingle(), f) << text;  // -0 is written "0", reads back as 0
  }
}

TEST(RoundThousandths, NearestThousandthWithHalvesToEven) {
  // 1062.5 goes down to the even 1062, 1187.5 up to the even 1188.
  const struct {
    double v, rounded;
  } rows[] = {{12.3456, 12.346}, {-12.3456, -12.346}, {1.0625, 1.062},
              {1.1875, 1.188},   {-1.0625, -1.062},   {0.0004, 0.0}};
  for (const auto& r : rows) EXPECT_EQ(roundThousandths(r.v), r.rounded) << r.v;
}

}  // namespace
}  // namespace kestrand::store
