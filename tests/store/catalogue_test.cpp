#include "store/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::store {
namespace {

using Texts = std::vector<std::string>;

const std::string kExampleName = "QV 15.Jan.06  14.05.09.dat";
const std::string kExampleEntry =
    "01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2   Units V/m      "
    "QV 15.Jan.06  14.05.09.dat";
const std::string kListFull =
    "Too many files are in the list.\n\r Please delete files before continuing.";

std::string headerError(const std::string& name) {
  return "File: " + name +
         "\n\r\n\rAn error has been found in its header description.\n\r"
         "It will not be included in the list of available files.";
}

// A catalogue over an in-memory data directory; what the list shows is collected from its
// updates.
class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest() { probes_.InitProbeTable(); }
  void write(const std::string& name, const std::string& content) {
    fs_.files["/d/" + name] = content;
  }
  // A valid continuous-mode file of probe 0 with the given date.
  void writeValid(const std::string& name, const std::string& date = "01/15/2006") {
    write(name, "\"" + date + "\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1,0\r\n5\r\n");
  }
  void take(const ListUpdate& u) {
    if (u.box) {
      EXPECT_EQ(u.box->title, "RIviriro Error");
      EXPECT_EQ(u.box->buttons, Buttons::kOk);
      EXPECT_FALSE(u.box->warningIcon);
      boxes_.push_back(u.box->text);
    }
    EXPECT_NE(u.box.has_value(), u.added());
    if (u.added()) {
      entries_.push_back(u.entry);
      general_.push_back(u.generalMessage);
    }
  }
  void search() {
    list_.SearchForFiles([this](const ListUpdate& u) { take(u); });
  }

  ports::fake::MemoryFileSystem fs_{"/d"};
  FileCatalogue catalogue_;
  ListedFile file_{
      .CurrentFile = kExampleName, .ListDate = "01/15/2006", .ListTime = "02:05:09 PM"};
  ProbeTable probes_;
  MessageCatalogue messages_;
  FileList list_{{catalogue_, probes_, messages_, fs_, "/d"}};
  Texts entries_, boxes_, general_;
};

TEST_F(CatalogueTest, AddToListAppendsTheEntryAndCountsIt) {
  file_.LogMode = 1;
  file_.LogRate = 2;
  take(list_.AddToList(file_));
  EXPECT_EQ(entries_, Texts{kExampleEntry});
  EXPECT_EQ(catalogue_.FileNames[0], kExampleName);
  EXPECT_EQ(catalogue_.FileStatus[0], kComplete);
  EXPECT_EQ(general_, Texts{" 1 data files are available."});

  // Mode 0 of an elapsed-time upload is named by the flag; units 1 of probe 16.
  file_ = {"qv12.dat", "01/15/2006", "12", 16, 0, 2, 1, 2};
  take(list_.AddToList(file_));
  EXPECT_EQ(entries_.at(1),
            "01/15/2006 12   Probe R510   Spatial   Log Rate  2   Units mW/cm\xB2      qv12.dat");
  EXPECT_EQ(catalogue_.NumFiles, 2);
  EXPECT_EQ(general_.back(), " 2 data files are available.");

  // Units codes outside the table's 0..6 are listed as code 0; 6 is inside though unused.
  file_.ProbeType = 0;
  file_.ExtLogMode = 0;
  for (const int code : {7, -1, 6}) {
    file_.UnitsCode = static_cast<std::int16_t>(code);
    take(list_.AddToList(file_));
    EXPECT_TRUE(
        entries_.back().ends_with(code == 6 ? "Units       qv12.dat" : "Units V/m      qv12.dat"))
        << code;
  }
}

TEST_F(CatalogueTest, APeriodicFileIsListedWithItsFirstRecordsUnits) {
  write("qvp.dat", "\"01/15/2006\",\"02:05:09 PM\",0,2\r\n2,9,60,3,10.5\r\n1,1\r\n1\r\n2\r\n3\r\n");
  search();
  EXPECT_EQ(entries_, Texts{"01/15/2006 02:05:09 PM   Probe QV-1100   Periodic     Log Rate  2   "
                            "Units mW/cm\xB2      qvp.dat"});
  EXPECT_EQ(catalogue_.FileNames[0] + " " + std::to_string(catalogue_.FileStatus[0]), "qvp.dat 2");
  // An upload that ended early is marked beside its file, and listed as not complete.
  fs_.files["/d/qvp.ended"] = "Upload ended early\r\n";
  search();
  EXPECT_EQ(catalogue_.FileStatus[1], kHeaderOnly);
}

TEST_F(CatalogueTest, SearchMatchesNamesWithoutRegardToCaseInNameOrder) {
  for (const char* name : {"qvx.DAT", "aqv.dat", "qv.txt", "qv1.dat.bak", "Qv0.Dat"}) {
    writeValid(name, "03/03/06");
  }
  search();
  EXPECT_EQ(Texts(catalogue_.FileNames.begin(), catalogue_.FileNames.begin() + 3),
            (Texts{"Qv0.Dat", "qvx.DAT", ""}));
  EXPECT_EQ(entries_.at(0).substr(0, 11), "  03/03/06 ");  // right-aligned in 10
}

TEST_F(CatalogueTest, OnlyTheFirstHundredFilesAreExaminedAndAFullListTakesNoMore) {
  for (int i = 1000; i < 1100; ++i) writeValid("qv" + std::to_string(i) + ".dat");
  search();
  EXPECT_EQ(catalogue_.NumFiles, 100);
  EXPECT_EQ(general_.back(), " 100 data files are available.");
  EXPECT_TRUE(boxes_.empty());  // exactly a hundred: no message
  // A further file meets the full list, which is not blamed on its header.
  writeValid("qvlate.dat");
  take(list_.LoadFiletoList("qvlate.dat"));
  EXPECT_EQ(boxes_, Texts{kListFull});
  EXPECT_EQ(entries_.size(), 100u);
  EXPECT_EQ(catalogue_.FileNames[100], "");

  for (int i = 1100; i < 1150; ++i) writeValid("qv" + std::to_string(i) + ".dat");
  catalogue_ = FileCatalogue{};
  boxes_.clear();
  search();
  EXPECT_EQ(catalogue_.NumFiles, 100);
  EXPECT_EQ(catalogue_.FileNames[99], "qv1099.dat");
  EXPECT_EQ(boxes_, Texts{"Too many *.dat files exist. Only the first  100 will be listed."});
}

TEST_F(CatalogueTest, RejectedFilesAreReportedInTheirTurnAndTheSearchGoesOn) {
  const std::string head = "\"01/15/2006\",\"02:05:09 PM\",";
  write("qv1 header only.dat", head + "0,1\r\n2,9,60\r\n");
  write("qv2 no columns.dat", head + "0,1\r\n2,0,60\r\n1,0\r\n");
  write("qv3 not a number.dat", head + "zero,1\r\n2,9,60\r\n1,0\r\n");
  writeValid("qv4 good.dat");
  write("qv5 empty.dat", "");
  write("qv6 probe 32.dat", head + "32,1\r\n2,9,60\r\n1,0\r\n");
  write("qv7 overflow.dat", head + "0,1\r\n2,9,60\r\n1,40000\r\n");
  // Blanks that push a field past 64 bytes make it too long.
  write("qv8 blanks.dat", std::string(64, ' ') + head + "0,1\r\n2,9,60\r\n1,0\r\n");
  Texts order;
  list_.SearchForFiles([&](const ListUpdate& u) {
    take(u);
    order.push_back(u.box ? u.box->text : u.entry.substr(u.entry.size() - 12));
  });
  take(list_.LoadFiletoList("qv9 gone.dat"));
  EXPECT_EQ(order, (Texts{headerError("qv1 header only.dat"), headerError("qv2 no columns.dat"),
                          headerError("qv3 not a number.dat"), "qv4 good.dat",
                          headerError("qv5 empty.dat"), headerError("qv6 probe 32.dat"),
                          headerError("qv7 overflow.dat"), headerError("qv8 blanks.dat")}));
  EXPECT_EQ(boxes_.back(), headerError("qv9 gone.dat"));
  EXPECT_EQ(catalogue_.NumFiles, 1);
  EXPECT_EQ(catalogue_.FileNames[0], "qv4 good.dat");
}

TEST_F(CatalogueTest, OnlyElevenFieldsOfAFileAreReadWhateverFollows) {
  // Units code 10 is listed as code 0.
  write("qv.dat",
        "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1,10\r\n" + std::string(500'000, 'x'));
  take(list_.LoadFiletoList("qv.dat"));
  EXPECT_EQ(entries_, Texts{"01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2"
                            "   Units V/m      qv.dat"});
  EXPECT_LE(fs_.bytesRead, 11 * 64u);
}

}  // namespace
}  // namespace kestrand::store
