#include "store/catalogue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fake/fakes.h"
#include "platform/posix/posix_file_system.h"

namespace kestrand::store {
namespace {

using platform::LabelId;

const std::string kExampleName = "QV 15.Jan.06  14.05.09.dat";
const std::string kExampleEntry =
    "01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2   Units V/m      "
    "QV 15.Jan.06  14.05.09.dat";
const std::string kExampleFile =
    "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,9,60\r\n1,0\r\n12.3\r\n12.345\r\n12.1\r\n"
    "1,0\r\n12.4\r\n12.5\r\n12.2\r\n";

std::string headerError(const std::string& name) {
  return "File: " + name +
         "\n\r\n\rAn error has been found in its header description.\n\r"
         "It will not be included in the list of available files.";
}

TEST(ListEntryText, ReproducesTheWorkedExample) {
  EXPECT_EQ(listEntryText("01/15/2006", "02:05:09 PM", 0, "QV-1100", "Continuous", 2, "V/m",
                          kExampleName),
            kExampleEntry);
}

TEST(ListEntryText, FieldWidthsOfDateAndTime) {
  // An 8-character date gets two blanks; an 11-character time fills its field exactly.
  EXPECT_EQ(
      listEntryText("06-01-15", "02:05:09 PM", 1, "QV-1200ABA", "Periodic  ", 0, "mA/m", "qv1.dat"),
      "  06-01-15 02:05:09 PM   Probe QV-1200ABA   Periodic     Log Rate  0   Units mA/m"
      "      qv1.dat");
  // A 24-hour time of 8 characters gets three blanks; longer texts are kept whole.
  EXPECT_EQ(
      listEntryText("15 January 2006", "14:05:09", 0, "QV-1100", "Single Pt.", 15, "", "qv2.dat"),
      "15 January 2006    14:05:09   Probe QV-1100   Single Pt.   Log Rate  15   Units "
      "      qv2.dat");
  // Elapsed-time probes (16 and up) have a number in a field of 2.
  EXPECT_EQ(listEntryText("01/15/2006", "7", 16, "R510", "Continuous", 1, "V/m", "qv3.dat"),
            "01/15/2006  7   Probe R510   Continuous   Log Rate  1   Units V/m      qv3.dat");
  EXPECT_EQ(listEntryText("01/15/2006", "1234", 17, "R520", "Spatial", 1, "V/m", "qv4.dat"),
            "01/15/2006 1234   Probe R520   Spatial   Log Rate  1   Units V/m      qv4.dat");
  EXPECT_EQ(listEntryText("1/5/2006", "", 15, "QV-1540", "Scheduled ", -1, "V/m", "q"),
            "  1/5/2006               Probe QV-1540   Scheduled    Log Rate -1   Units V/m      q");
}

TEST(StatusText, OneBasedNumberWithASignBlank) {
  EXPECT_EQ(statusText(0, 1), "Status for Header # 1 = Header received, Data not complete");
  EXPECT_EQ(statusText(9, 2), "Status for Header # 10 = Complete block of continuous data");
  EXPECT_EQ(statusText(99, 3), "Status for Header # 100 = Data received with no header");
  EXPECT_EQ(statusText(0, 0), "");
  EXPECT_EQ(statusText(0, 4), "");
}

// A catalogue over a fresh data directory, with recording fakes around it.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrand-store-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs_ = std::make_unique<platform::posix::PosixFileSystem>(dir_);
    probes_.InitProbeTable();
    list_ = std::make_unique<FileList>(
        FileList::Deps{catalogue_, header_, probes_, messages_, view_, box_, *fs_, dir_,
                       [this](const std::string& m) { general_.push_back(m); }});
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void write(const std::string& name, const std::string& content) {
    fs_->writeAll(platform::joinPath(dir_, name), content);
  }
  // A valid continuous-mode file of probe 0 with the given date and units code.
  void writeValid(const std::string& name, const std::string& date = "01/15/2006", int units = 0) {
    write(name, "\"" + date + "\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1," + std::to_string(units) +
                    "\r\n5\r\n");
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> t;
    for (const auto& s : box_.shown) t.push_back(s.text);
    return t;
  }

  std::string dir_;
  std::unique_ptr<platform::posix::PosixFileSystem> fs_;
  FileCatalogue catalogue_;
  HeaderFields header_;
  ProbeTable probes_;
  MessageCatalogue messages_;
  platform::fake::FakeMainView view_;
  platform::fake::ScriptedMessageBox box_;
  std::vector<std::string> general_;
  std::unique_ptr<FileList> list_;
};

TEST_F(CatalogueTest, AddToListAppendsTheEntryAndCountsIt) {
  catalogue_.ListDate = "01/15/2006";
  catalogue_.ListTime = "02:05:09 PM";
  catalogue_.CurrentFile = kExampleName;
  header_.ProbeType = 0;
  header_.LogMode = 1;
  header_.LogRate = 2;
  header_.UnitsCode = 0;
  ASSERT_TRUE(list_->AddToList(0));
  EXPECT_EQ(view_.list, std::vector<std::string>{kExampleEntry});
  EXPECT_EQ(catalogue_.NumFiles, 1);
  EXPECT_EQ(catalogue_.FileNames[0], kExampleName);
  EXPECT_EQ(catalogue_.FileStatus[0], 2);
  EXPECT_EQ(general_, std::vector<std::string>{" 1 data files are available."});

  // Mode 0 of an elapsed-time upload is named by the flag; units 1 of probe 16.
  catalogue_.ListTime = "12";
  catalogue_.CurrentFile = "QV 15.Jan.06  14.05.09 File012.dat";
  header_.ProbeType = 16;
  header_.LogMode = 0;
  header_.UnitsCode = 1;
  ASSERT_TRUE(list_->AddToList(2));
  EXPECT_EQ(view_.list.at(1),
            "01/15/2006 12   Probe R510   Spatial   Log Rate  2   Units mW/cm\xB2      "
            "QV 15.Jan.06  14.05.09 File012.dat");
  EXPECT_EQ(catalogue_.NumFiles, 2);
  EXPECT_EQ(general_.back(), " 2 data files are available.");
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CatalogueTest, UnitsCodesOutsideTheTableAreListedAsCodeZero) {
  catalogue_.ListDate = "01/15/2006";
  catalogue_.ListTime = "02:05:09 PM";
  header_.ProbeType = 0;
  header_.LogMode = 1;
  for (std::int16_t code : {std::int16_t{9}, std::int16_t{7}, std::int16_t{-1}}) {
    SCOPED_TRACE(code);
    header_.UnitsCode = code;
    catalogue_.CurrentFile = "qv" + std::to_string(code) + ".dat";
    ASSERT_TRUE(list_->AddToList(0));
    EXPECT_EQ(header_.UnitsCode, 0);
    EXPECT_NE(view_.list.back().find("   Units V/m      qv"), std::string::npos)
        << view_.list.back();
  }
  // Code 6 is inside the table, even where the probe does not use it.
  header_.UnitsCode = 6;
  ASSERT_TRUE(list_->AddToList(0));
  EXPECT_EQ(header_.UnitsCode, 6);
  EXPECT_NE(view_.list.back().find("   Units       qv"), std::string::npos) << view_.list.back();
}

TEST_F(CatalogueTest, AFullListRefusesWithAMessage) {
  catalogue_.ListDate = "01/15/2006";
  catalogue_.ListTime = "02:05:09 PM";
  for (int i = 0; i < 100; ++i) {
    catalogue_.CurrentFile = "qv" + std::to_string(i) + ".dat";
    ASSERT_TRUE(list_->AddToList(0)) << i;
  }
  EXPECT_EQ(general_.back(), " 100 data files are available.");
  EXPECT_TRUE(box_.shown.empty());

  catalogue_.CurrentFile = "qvlate.dat";
  EXPECT_FALSE(list_->AddToList(0));
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].text,
            "Too many files are in the list.\n\r Please delete files before continuing.");
  EXPECT_EQ(box_.shown[0].title, "RIviriro Error");
  EXPECT_EQ(box_.shown[0].buttons, platform::Buttons::kOk);
  EXPECT_EQ(catalogue_.NumFiles, 100);
  EXPECT_EQ(view_.list.size(), 100u);
  EXPECT_EQ(catalogue_.FileNames[100], "");
}

TEST_F(CatalogueTest, SearchListsTheExampleFile) {
  write(kExampleName, kExampleFile);
  list_->SearchForFiles();
  EXPECT_EQ(view_.list, std::vector<std::string>{kExampleEntry});
  EXPECT_EQ(catalogue_.FileNames[0], kExampleName);
  EXPECT_EQ(catalogue_.FileStatus[0], 2);
  EXPECT_EQ(catalogue_.CurrentFile, kExampleName);
  EXPECT_EQ(catalogue_.ListDate, "01/15/2006");
  EXPECT_EQ(catalogue_.ListTime, "02:05:09 PM");
  EXPECT_EQ(header_.DataFormat, 9);
  EXPECT_EQ(header_.MoveAve, 60);
  EXPECT_EQ(header_.RecordTag, 1);
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CatalogueTest, SearchMatchesNamesWithoutRegardToCaseInNameOrder) {
  writeValid("qvx.DAT", "03/03/2006");
  writeValid("QV b.dat", "02/02/2006");
  writeValid("aqv.dat");
  writeValid("qv.txt");
  writeValid("qv1.dat.bak");
  writeValid("Qv0.Dat", "01/01/2006");
  std::filesystem::create_directory(dir_ + "/qvdir.dat");
  list_->SearchForFiles();
  EXPECT_EQ(catalogue_.NumFiles, 3);
  EXPECT_EQ(catalogue_.FileNames[0], "QV b.dat");
  EXPECT_EQ(catalogue_.FileNames[1], "Qv0.Dat");
  EXPECT_EQ(catalogue_.FileNames[2], "qvx.DAT");
  ASSERT_EQ(view_.list.size(), 3u);
  EXPECT_EQ(view_.list[2].substr(0, 10), "03/03/2006");
  // The header fields hold the last file examined.
  EXPECT_EQ(catalogue_.ListDate, "03/03/2006");
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CatalogueTest, OnlyTheFirstHundredOfMoreFilesAreExamined) {
  char name[16];
  for (int i = 0; i < 150; ++i) {
    std::snprintf(name, sizeof name, "qv%03d.dat", i);
    writeValid(name);
  }
  list_->SearchForFiles();
  EXPECT_EQ(catalogue_.NumFiles, 100);
  EXPECT_EQ(catalogue_.FileNames[0], "qv000.dat");
  EXPECT_EQ(catalogue_.FileNames[99], "qv099.dat");
  EXPECT_EQ(catalogue_.CurrentFile, "qv099.dat");
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            "Too many *.dat files exist. Only the first  100 will be listed."});
  EXPECT_EQ(box_.shown[0].title, "RIviriro Error");
}

TEST_F(CatalogueTest, ExactlyAHundredFilesGiveNoMessage) {
  char name[16];
  for (int i = 0; i < 100; ++i) {
    std::snprintf(name, sizeof name, "qv%03d.dat", i);
    writeValid(name);
  }
  list_->SearchForFiles();
  EXPECT_EQ(catalogue_.NumFiles, 100);
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CatalogueTest, RejectedFilesAreReportedAndTheSearchGoesOn) {
  write("qv1 header only.dat", "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,9,60\r\n");
  write("qv2 no columns.dat", "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,0,60\r\n1,0\r\n");
  write("qv3 not a number.dat", "\"01/15/2006\",\"02:05:09 PM\",zero,1\r\n2,9,60\r\n1,0\r\n");
  write("qv4 empty.dat", "");
  write("qv5 probe 32.dat", "\"01/15/2006\",\"02:05:09 PM\",32,1\r\n2,9,60\r\n1,0\r\n");
  write("qv6 overflow.dat", "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,9,60\r\n1,40000\r\n");
  writeValid("qv7 good.dat");
  list_->SearchForFiles();
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{
                            headerError("qv1 header only.dat"), headerError("qv2 no columns.dat"),
                            headerError("qv3 not a number.dat"), headerError("qv4 empty.dat"),
                            headerError("qv5 probe 32.dat"), headerError("qv6 overflow.dat")}));
  for (const auto& s : box_.shown) EXPECT_EQ(s.title, "RIviriro Error");
  EXPECT_EQ(catalogue_.NumFiles, 1);
  EXPECT_EQ(catalogue_.FileNames[0], "qv7 good.dat");
  EXPECT_EQ(view_.list.size(), 1u);
}

TEST_F(CatalogueTest, AMissingFileIsReported) {
  list_->LoadFiletoList("qv gone.dat");
  EXPECT_EQ(boxTexts(), std::vector<std::string>{headerError("qv gone.dat")});
  EXPECT_EQ(catalogue_.NumFiles, 0);
}

TEST_F(CatalogueTest, PeriodicFileIsListedWithTheUnitsOfItsFirstRecord) {
  write("qvp.dat",
        "\"01/15/2006\",\"02:05:09 PM\",0,2\r\n2,9,60,3,10.5\r\n1,1\r\n1\r\n2\r\n3\r\n"
        "1,0\r\n4\r\n5\r\n6\r\n");
  list_->SearchForFiles();
  ASSERT_EQ(view_.list.size(), 1u);
  EXPECT_EQ(view_.list[0],
            "01/15/2006 02:05:09 PM   Probe QV-1100   Periodic     Log Rate  2   Units mW/cm\xB2"
            "      qvp.dat");
  EXPECT_EQ(header_.PeriodOn, 3.0f);
  EXPECT_EQ(header_.PeriodOff, 10.5f);
  EXPECT_EQ(header_.UnitsCode, 1);
}

TEST_F(CatalogueTest, FirstRecordWithUnitsCodeNineIsListedWithCodeZero) {
  writeValid("qv9.dat", "01/15/2006", 9);
  list_->SearchForFiles();
  ASSERT_EQ(view_.list.size(), 1u);
  EXPECT_EQ(view_.list[0],
            "01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2   Units V/m      "
            "qv9.dat");
  EXPECT_EQ(header_.UnitsCode, 0);
}

TEST_F(CatalogueTest, FilesBeyondAFullListAreNotBlamedOnTheirHeader) {
  catalogue_.NumFiles = 100;
  writeValid("qv.dat");
  list_->LoadFiletoList("qv.dat");
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Too many files are in the list.\n\r Please "
                                                 "delete files before continuing."});
  EXPECT_EQ(catalogue_.NumFiles, 100);
}

class ShowListStatusTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    catalogue_.FileNames[0] = "qv a.dat";
    catalogue_.FileStatus[0] = 1;
    catalogue_.FileNames[1] = "qv b.dat";
    catalogue_.FileStatus[1] = 2;
    catalogue_.FileNames[2] = "qv c.dat";
    catalogue_.FileStatus[2] = 3;
    catalogue_.FileNames[3] = "";
    catalogue_.FileStatus[3] = 2;
    catalogue_.NumFiles = 4;
    view_.list = {"a", "b", "c", "d"};
    steps_.ReadRawDataFile = [this](const std::string& name) {
      calls_.push_back("read " + name + " / " + view_.label(LabelId::kStatDat));
      if (readFails_) throw Error(ErrorKind::kTypeMismatch, "Type mismatch");
    };
    steps_.UpdateDataTable = [this] {
      calls_.push_back("update / " + view_.label(LabelId::kStatDat));
    };
  }
  FileList::ViewSteps steps_;
  std::vector<std::string> calls_;
  bool readFails_ = false;
};

TEST_F(ShowListStatusTest, NoSelectionShowsTheMessageAndFails) {
  view_.selected = -1;
  try {
    list_->Show_list_status(1, steps_);
    ADD_FAILURE() << "did not fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), kCatalogueErrorBase + 4);
    EXPECT_EQ(e.description(), "Please select an item from the list to view.");
  }
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Please select an item from the list to view."});
  EXPECT_EQ(box_.shown[0].title, "RIviriro Error");
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(view_.labelLog.empty());
}

TEST_F(ShowListStatusTest, IncompleteEntriesOnlyShowTheirStatus) {
  for (int choice : {0, 1}) {
    view_.selected = 0;
    list_->Show_list_status(choice, steps_);
    EXPECT_EQ(view_.label(LabelId::kStatDat),
              "Status for Header # 1 = Header received, Data not complete");
    view_.selected = 2;
    list_->Show_list_status(choice, steps_);
    EXPECT_EQ(view_.label(LabelId::kStatDat),
              "Status for Header # 3 = Data received with no header");
  }
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ShowListStatusTest, ClickOnACompleteEntryShowsItsStatusWithoutReading) {
  view_.selected = 1;
  list_->Show_list_status(0, steps_);
  EXPECT_EQ(view_.label(LabelId::kStatDat),
            "Status for Header # 2 = Complete block of continuous data");
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(catalogue_.CurrentFile, "");
}

TEST_F(ShowListStatusTest, ViewingACompleteEntryReadsItAndUpdatesTheTable) {
  view_.selected = 1;
  list_->Show_list_status(1, steps_);
  EXPECT_EQ(calls_, (std::vector<std::string>{"read qv b.dat / Reading Raw Data File",
                                              "update / Updating table"}));
  EXPECT_EQ(view_.label(LabelId::kStatDat), "Table updated");
  EXPECT_EQ(catalogue_.CurrentFile, "qv b.dat");
}

TEST_F(ShowListStatusTest, TheTableIsUpdatedEvenWhenReadingFails) {
  readFails_ = true;
  view_.selected = 1;
  EXPECT_NO_THROW(list_->Show_list_status(1, steps_));
  EXPECT_EQ(calls_, (std::vector<std::string>{"read qv b.dat / Reading Raw Data File",
                                              "update / Updating table"}));
  EXPECT_EQ(view_.label(LabelId::kStatDat), "Table updated");
}

TEST_F(ShowListStatusTest, AnEntryWithoutAFileNameIsNotRead) {
  view_.selected = 3;
  list_->Show_list_status(1, steps_);
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(view_.labelLog.empty());
}

}  // namespace
}  // namespace kestrand::store
