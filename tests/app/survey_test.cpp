// The survey side against fakes: the notes of the upload on display, its whole upload, and
// File > "Save report as PDF..." from the dialog to the last page, a few pages a tick.

#include "app/survey.h"

#include <gtest/gtest.h>

#include "tests/fakes/memory_file_system.h"
#include "tests/support/program_rig.h"

namespace kestrand::testing {
namespace {

// A continuous upload, one X-Point a second.
std::string rawFile(int records) {
  std::string s = "\"12/05/2006\",\"02:05:33 PM\",0,1\r\n1,1,0\r\n";
  for (int j = 0; j < records; ++j) s += "1,0\r\n" + std::to_string(j % 9) + "\r\n";
  return s;
}

struct Survey : ::testing::Test {
  Survey() {
    fs.files["/prog/QV 1.dat"] = rawFile(1100);
    app::SurveyDisplay display;
    display.chart = [this](std::function<view::ChartData()> make, const std::string& t) {
      samples = make().samples();
      title = t;
    };
    display.notes = [this](const store::Notes& n, bool e) {
      notes = n;
      editable = e;
    };
    display.wholeBox = [this](bool shown, bool) { boxShown = shown; };
    auto open = [this](const std::string& path, const view::SurveySummary& s,
                       const view::ChartData&, std::optional<double>, const std::string&) {
      opened = path;
      summary = s;
      auto p = std::make_unique<ports::fake::FakePrinter>();
      printer = p.get();
      return std::unique_ptr<ports::Printer>(std::move(p));
    };
    survey = std::make_unique<app::Survey>(g.doc, g.present, fs, rig.timers, rig.clock, dialogs,
                                           "/prog", display, open);
    g.doc.showChart = [this](std::function<view::ChartData()> make, const std::string&) {
      survey->shown(std::move(make));
    };
  }
  void viewFile() {
    g.doc.ReadRawDataFile("QV 1.dat", "/prog");
    g.doc.UpdateDataTable();
  }
  ports::fake::MemoryFileSystem fs{"/prog"};
  ProgramRig rig{fs, "/prog"};
  app::Program& g = rig.prog;
  ports::fake::FakeDialogs dialogs;
  std::unique_ptr<app::Survey> survey;
  std::size_t samples = 0;
  std::string title, opened;
  store::Notes notes;
  bool editable = true, boxShown = true;
  view::SurveySummary summary;
  ports::fake::FakePrinter* printer = nullptr;
};

TEST_F(Survey, NotesThatCannotBeReadAreNotOfferedForEditingAndTheWholeUploadTakesTheFirstFiles) {
  fs.files["/prog/QV 1.notes"] = std::string(20000, 'x');
  viewFile();
  EXPECT_FALSE(editable);
  EXPECT_NE(rig.box.shown.at(0).text.find("are larger than 16384 bytes"), std::string::npos);
  EXPECT_FALSE(boxShown);

  fs.files["/prog/QV 1.notes"] = "Site: a\r\n";
  fs.files["/prog/QV 1A.dat"] = rawFile(7);
  fs.files["/prog/QV 1A.notes"] = "Site: continued\r\n";
  g.doc.ReadRawDataFile("QV 1A.dat", "/prog");
  g.doc.UpdateDataTable();
  EXPECT_TRUE(boxShown && editable);
  EXPECT_EQ(notes.site, "continued");
  survey->setWhole(true);
  EXPECT_EQ(samples, 1107u);
  EXPECT_EQ(title, "QV 1.dat to QV 1A.dat");
  EXPECT_EQ(notes.site, "a");  // the upload's notes are its first file's
  survey->saveNotes({"b", "", ""});
  EXPECT_EQ(fs.files.at("/prog/QV 1.notes"), "Site: b\r\nOperator: \r\nComment: \r\n");
  EXPECT_EQ(fs.files.at("/prog/QV 1A.notes"), "Site: continued\r\n");
  // The upload deleted (its file and notes gone), "Save notes" writes nothing and says why.
  fs.files.erase("/prog/QV 1.dat");
  fs.files.erase("/prog/QV 1.notes");
  survey->saveNotes({"c", "", ""});
  EXPECT_FALSE(fs.exists("/prog/QV 1.notes"));
  EXPECT_NE(rig.box.shown.back().text.find("QV 1.dat is not there"), std::string::npos);
}

TEST_F(Survey, SaveReportAddsTheExtensionAsksBeforeReplacingAndPrintsAFewPagesATick) {
  survey->saveReport();  // nothing on display
  EXPECT_EQ(rig.box.shown.at(0).text, "Error on Save!  There are no readings on display to report");
  viewFile();
  fs.files["/prog/survey.pdf"] = "old";
  dialogs.chosenPaths = {"/prog/survey", "/prog/survey"};
  dialogs.yesNoAnswers = {false, true};
  survey->saveReport();
  EXPECT_EQ(dialogs.fileDialogs.at(0),
            (ports::FileDialogRequest{
                "Save report as PDF", "PDF document|*.pdf", "/prog", "QV 1.pdf", true, {}}));
  EXPECT_EQ(printer, nullptr);  // not replaced
  // The standard chosen on the Chart tab adds the assessment, with the uncertainty typed there;
  // the pages are counted first.
  fs.files["/prog/riviriro_std.inf"] = "icnirp1998-public\r\n900MHz\r\n2 dB\r\n";
  survey->saveReport();
  EXPECT_EQ(opened, "/prog/survey.pdf");
  EXPECT_EQ(summary.details.at(4), "Number of Samples -  1100");
  EXPECT_EQ(summary.assessmentText.at(1), "Frequency - 900 MHz");
  EXPECT_NE(summary.assessmentText.at(4).find("uncertainty of 2 dB (a factor of 1.585 in power)"),
            std::string::npos);
  EXPECT_EQ(summary.pageFoot + " " + std::to_string(summary.listingPages), "QV 1.dat 21");
  EXPECT_EQ(summary.reportId, "20061205T140533-20261205T100000");  // its start, then now
  ASSERT_TRUE(survey->writing());

  // 1100 samples: 21 pages after the summary's (the fake paints it on none of its own),
  // twenty at the first tick, the last at the second; the document ends (and goes away) at the
  // third.
  const auto pages = view::PrintReport(g.doc.table(), g.doc.header());
  ASSERT_EQ(pages.size(), 21u);
  rig.timers.advance(1);
  EXPECT_EQ(printer->pages.size(), 1u + 20u);
  EXPECT_TRUE(printer->pages.front().empty());
  rig.timers.advance(1);
  ASSERT_EQ(printer->pages.size(), 1u + 21u);
  EXPECT_EQ(printer->pages.back().back().text, pages.back().lines.back());
  EXPECT_FALSE(printer->ended);
  rig.timers.advance(1);
  EXPECT_FALSE(survey->writing());
  EXPECT_EQ(rig.view.label(ports::LabelId::kLblGenMsg), "Report saved as /prog/survey.pdf");
}

}  // namespace
}  // namespace kestrand::testing
