#include "app/settings_files.h"
#include "app/link_controller.h"

#include <gtest/gtest.h>

#include <clocale>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::app {
namespace {

TEST(SettingsFiles, TheReferenceLevelIsWrittenInTheCFormInAnyLocaleAndReadBack) {
  ports::fake::MemoryFileSystem fs;
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // where the machine has it
  saveReferenceLevel(fs, "/d", 27.5);
  saveReferenceLevel(fs, "/e", 1234567.8);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(fs.files["/d/riviriro_ref.inf"] + fs.files["/e/riviriro_ref.inf"],
            "27.5\r\n1234568\r\n");
  EXPECT_EQ(readReferenceLevel(fs, "/d"), 27.5);
  saveReferenceLevel(fs, "/d", std::nullopt);
  EXPECT_EQ(fs.files["/d/riviriro_ref.inf"], "\r\n");
  fs.files["/d/riviriro.inf"] = std::string(1 << 20, ' ') + "5";  // read no further than 256 bytes
  EXPECT_NE(readPortSetting(fs, "/d"), 5);
  EXPECT_LE(fs.bytesRead, 512u);
}

TEST(SettingsFiles, TheStandardFrequencyAndUncertaintyAreKeptInAFileOfTheirOwn) {
  ports::fake::MemoryFileSystem fs;
  EXPECT_EQ(readAssessmentChoice(fs, "/d").standard, "");
  saveAssessmentChoice(fs, "/d", {"fcc-general", "1.8GHz", "2 dB"});
  EXPECT_EQ(fs.files["/d/riviriro_std.inf"], "fcc-general\r\n1.8GHz\r\n2 dB\r\n");
  const auto read = [&fs] {
    const AssessmentChoice c = readAssessmentChoice(fs, "/d");
    return c.standard + "|" + c.frequency + "|" + c.uncertainty;
  };
  EXPECT_EQ(read(), "fcc-general|1.8GHz|2 dB");
  // Written before the uncertainty was kept, or by hand without line ends.
  fs.files["/d/riviriro_std.inf"] = "icnirp1998-public\n900MHz";
  EXPECT_EQ(read(), "icnirp1998-public|900MHz|");
  fs.files["/d/riviriro_std.inf"] = "icnirp1998-public\r\n900MHz\r\n1.5\r\n";
  EXPECT_EQ(read(), "icnirp1998-public|900MHz|1.5");
}

}  // namespace
}  // namespace kestrand::app
