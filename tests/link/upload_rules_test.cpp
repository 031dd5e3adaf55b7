// Upload rules that the worked messages do not reach: the top log rates, a record cut short by
// the end of its message, and the last continuation letter.

#include <gtest/gtest.h>

#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

TEST(UploadRules, LogRatesAboveSevenKeepTheirFourthBit) {
  for (unsigned rate : {8u, 15u}) {
    Link l;
    l.send(headerFrame({.rate = rate}));
    EXPECT_TRUE(l.file(l.CurrentFile).ends_with("\r\n" + std::to_string(rate) + ",1,0\r\n"))
        << rate;
  }
}

TEST(UploadRules, RecordCutShortByTheMessageEndStillWritesItsTagAndUnits) {
  Link l;
  l.send(headerFrame({}));
  const std::string before = l.file(l.CurrentFile);
  l.send(frame(2, {0x81, 0x02, 0x23, 0xE8, 0x82, 0x03, 0x24}, 3));
  EXPECT_EQ(l.file(l.CurrentFile).substr(before.size(), 15), "1,2\r\n100\r\n2,3\r\n");
}

TEST(UploadRules, ZIsTheLastContinuationLetter) {
  Link l;
  l.send(headerFrame({.stamp = stamp(3626, 50733)}));
  l.CurrentFile = "QV 05.Dec.06  14.05.33Y.dat";  // as if the upload had reached Y
  for (int sent = 0; sent < 16301;) {
    std::vector<std::uint8_t> body;
    for (int k = 0; k < 200 && sent < 16301; ++k, ++sent)
      body.insert(body.end(), {1, 0, 0x23, 0xE8});
    l.deliver(frame(2, body, sent == 16301 ? 4 : 23));
  }
  EXPECT_TRUE(l.box.shown.empty());
  EXPECT_EQ(l.file("QV 05.Dec.06  14.05.33Z.dat").substr(0, 12), "\"12/05/2006\"");
}

}  // namespace
}  // namespace kestrand::testing
