// "Save as", "Open" and "Print Data" against fakes: dialogs, message boxes, files and printer.

#include "app/data_files.h"

#include <gtest/gtest.h>

#include "tests/fakes/memory_file_system.h"
#include "tests/support/program_rig.h"

namespace kestrand::testing {
namespace {

using ports::LabelId;

const std::string kFilter = "Excel Spreadsheet  *.csv|*.csv|All Files (*.*)|*.*";
const std::string kCsv =
    "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\r\n"
    "\"01/15/2006\",\"02:05:09 PM\",1.5,\"QV-1100\",\"V/m\"\r\n"
    "\"01/15/2006\",\"02:05:10 PM\",x2,\"\",\"V/m\"\r\n";

struct DataFiles : ::testing::Test {
  DataFiles() {
    g.doc.replace([](app::LoadedUpload& u) {
      u.table.NumSamples = 2;
      u.table.ColUsed[0] = 1;
    });
  }
  // A raw data file listed as an upload lists it: "Save as" is named after it.
  void listed(const std::string& name) {
    store::ListedFile file;
    file.CurrentFile = name;
    g.files.add(file);
  }
  void save() { app::mnuSave_Click(g.doc, g.files, g.present, fs, dialogs); }
  void open() { app::mnuopen_Click(g.doc, g.present, fs, dialogs, "/prog"); }
  void print(ports::Printer* printer) { app::cmdPrint_Click(g.doc, g.present, printer); }
  ports::fake::MemoryFileSystem fs{"/prog"};
  ProgramRig rig{fs, "/prog"};
  app::Program& g = rig.prog;
  ports::fake::FakeDialogs dialogs;
};

TEST_F(DataFiles, SaveAsProposesTheRawFilesNameAndReplacesTheFileWhole) {
  listed("qv 0001.dat");
  save();  // cancelled: nothing written
  EXPECT_EQ(fs.files.count("/prog/qv 0001.csv"), 0u);
  EXPECT_EQ(dialogs.fileDialogs.at(0),
            (ports::FileDialogRequest{"Save as", kFilter, "/prog", "qv 0001.csv", true, {}}));

  const std::string path = "/prog/my data.csv";
  dialogs.chosenPaths = {path, "/prog/qv 0001.dat"};
  save();
  EXPECT_EQ(rig.view.labelLog.back(), std::make_pair(LabelId::kLblGenMsg, std::string(" ")));
  EXPECT_EQ(rig.view.labelLog.end()[-2].second, "Saving my data.csv");
  const std::string saved = fs.files.at(path);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3);

  // The raw data file the table came from is never written over.
  fs.files["/prog/qv 0001.dat"] = "raw";
  const auto before = fs.files;
  save();
  EXPECT_EQ(fs.files, before);
  ASSERT_EQ(rig.box.shown.size(), 1u);  // none for the cancel
  const std::string text = rig.box.shown[0].title + "|" + rig.box.shown[0].text;
  EXPECT_TRUE(text.starts_with("Error|Error on Save!  ") &&
              text.ends_with("\n 9 /prog/qv 0001.dat"))
      << text;
}

TEST_F(DataFiles, SaveAsNeedsColumnsAndARawFileName) {
  save();  // no raw data file viewed yet
  g.doc.replace([](app::LoadedUpload& u) { u.table.ColUsed[0] = 0; });
  listed("qv0001.dat");
  save();
  EXPECT_TRUE(dialogs.fileDialogs.empty());
  ASSERT_EQ(rig.box.shown.size(), 2u);
  EXPECT_TRUE(rig.box.shown[0].text.starts_with("Error on Save!  ") &&
              rig.box.shown[0].text.ends_with("\n 0 "));
  EXPECT_EQ(rig.box.shown[1].text + "|" + rig.box.shown[1].title,
            "No data found to SAVE|RIviriro Error");
}

TEST_F(DataFiles, OpenAsksFirstPassesOverXlsAndReadsTheRest) {
  open();  // "No" keeps the table
  EXPECT_EQ(dialogs.events, std::vector<std::string>{"yes/no: Delete All Data|This will delete "
                                                     "all unsaved data!  Are you sure?"});
  EXPECT_EQ(g.doc.table().NumSamples, 2);
  EXPECT_EQ(g.doc.table().ColUsed[0], 1);

  fs.files["/prog/a.xls"] = fs.files["/prog/b.XLS"] = kCsv;
  dialogs.yesNoAnswers = {true};
  dialogs.chosenPaths = {std::nullopt, "/prog/a.xls", "/prog/b.XLS"};
  open();  // cancelled
  open();
  EXPECT_EQ(dialogs.fileDialogs.at(0),
            (ports::FileDialogRequest{"Open Data File", kFilter, "/prog", "", false, {}}));
  EXPECT_EQ(g.doc.table().NumSamples, 0);  // emptied on "Yes"
  EXPECT_EQ(g.doc.table().ColUsed[0], 0);
  EXPECT_EQ(rig.view.grid.rows, 2);  // the emptied table shown: titles and one blank row
  EXPECT_TRUE(rig.box.shown.empty());

  open();  // nothing to lose: no question
  EXPECT_EQ(dialogs.events.size(), 5u);
  // The name stays five seconds after the open, as other news does.
  rig.timers.advance(4999);
  EXPECT_EQ(rig.view.label(LabelId::kLblGenMsg), "Opening b.XLS");
  rig.timers.advance(1);
  EXPECT_EQ(rig.view.label(LabelId::kLblGenMsg), "");
  EXPECT_EQ(rig.view.cell(1, 1), " 1.5");  // the opened table shown
  ASSERT_EQ(rig.box.shown.size(), 1u);
  EXPECT_EQ(rig.box.shown[0].text + "|" + rig.box.shown[0].title,
            "Error on Open!  Type mismatch: x2|Error");
}

TEST_F(DataFiles, PrintPutsEveryLineAtItsPlace) {
  ports::fake::FakePrinter printer;
  print(&printer);
  EXPECT_EQ(printer.font + " " + std::to_string(printer.points), "Courier 10");
  ASSERT_EQ(printer.pages.size(), 1u);
  ASSERT_EQ(printer.pages[0].size(), 60u);
  EXPECT_EQ(printer.pages[0][1], (ports::fake::FakePrinter::Line{0.25, 0.5 + 1.0 / 6, ""}));
  EXPECT_TRUE(printer.ended);

  printer.refuse = true;
  print(&printer);
  print(nullptr);
  ASSERT_EQ(rig.box.shown.size(), 2u);
  for (const auto& box : rig.box.shown) {
    EXPECT_EQ(box.text + "|" + box.title, "Error on Open!  No printer is installed|RIviriro Error");
  }
}

}  // namespace
}  // namespace kestrand::testing
