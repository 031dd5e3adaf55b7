// Who may change what. The upload being received belongs to the receive side alone: views, an
// opened file, a format change, deletions of other entries and the close box leave what it
// stores as it would be without them, and an upload received again under the same name moves
// the earlier one aside whole.

#include <gtest/gtest.h>

#include "tests/app/shell.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using C = platform::Command;
using platform::Answer;

const std::string kFirst = "QV 05.Dec.06  14.05.33.dat";
const std::string kOlder = "QV 04.Dec.06  10.00.00.dat";

struct Receiving : Shell {
  Receiving() { started(); }
  void send(const std::string& frame) { port.deliver(frame); }
  void send(const std::vector<std::string>& frames) {
    for (const std::string& f : frames) send(f);
  }
  std::string header() const { return headerFrame({.stamp = stamp(3626, 50733)}); }
  // An older upload of another shape: three value columns and a moving average of 5.
  void olderUpload() {
    send(headerFrame({.stamp = stamp(3625, 36000), .dataFormat = 7, .moveAve = 5}));
    std::vector<std::uint8_t> body;
    for (int n = 1; n <= 3; ++n) {
      body.insert(body.end(), {static_cast<std::uint8_t>(0x80 | n), 2});
      for (int k = 0; k < 4; ++k) put16(body, 0x2000 + static_cast<unsigned>(n * 10 + k));
    }
    send(frame(2, body, 4));
  }
  int entry(const std::string& name) { return win.program().files.catalogue.find(name); }
  int acks() const { return static_cast<int>(std::count(port.written.begin(), port.written.end(), '\x06')); }
};

TEST(Owners, WhatTheUserDoesDuringAnUploadChangesNothingItStores) {
  Receiving alone;
  alone.send(alone.header());
  alone.send(dataFrames(16450));

  Receiving busy;
  busy.olderUpload();
  busy.put("older.csv", "\"Date\",\"Time\",\"X-Point\"\r\n\"01/15/2006\",\"02:05:09 PM\",1.5\r\n");
  busy.put("QV 04.Dec.06  09.00.00.dat", busy.file(kOlder));  // one more entry, to delete
  busy.win.program().files.SearchForFiles();
  busy.send(busy.header());
  const std::vector<std::string> data = dataFrames(16450);
  std::shared_ptr<const app::LoadedUpload> held;  // as a chart or a report holds a view
  for (std::size_t i = 0; i < data.size(); ++i) {
    busy.send(data[i]);
    if (i % 40 == 1) {  // view the older upload, open a file, change the date format and back
      busy.view.listSelect(busy.entry(kOlder));
      busy.view.click(C::kView);
      if (!held) held = busy.win.program().doc.shown();
      busy.dialogs.yesNoAnswers = {true};
      busy.dialogs.chosenPaths = {"/prog/older.csv"};
      busy.view.click(C::kOpen);
      busy.view.click(C::kDateFormat, 5);
      busy.view.click(C::kDateFormat, 3);
      busy.timers.advance(1);
    }
    if (i == 100) {  // another entry is deleted: the upload goes on
      busy.view.listSelect(busy.entry("QV 04.Dec.06  09.00.00.dat"));
      busy.box.answerNext(Answer::kYes);
      busy.view.click(C::kDelete);
    }
  }
  for (const std::string& name : {kFirst, std::string("QV 05.Dec.06  14.05.33A.dat")})
    EXPECT_EQ(busy.file(name), alone.file(name)) << name;
  EXPECT_EQ(busy.acks(), alone.acks() + 2);  // the older upload's two messages
  EXPECT_EQ(busy.port.written.find('\x15'), std::string::npos);
  EXPECT_FALSE(busy.fs.exists("/prog/QV 04.Dec.06  09.00.00.dat"));
  EXPECT_EQ(busy.win.program().doc.shownName(), kOlder);  // the view, not the upload
  EXPECT_EQ(held->table.NumSamples, 3);  // what others hold of a view never changes
  EXPECT_EQ(held->path, "/prog/" + kOlder);
}

TEST(Owners, ASameNameUploadCutShortLeavesTheEarlierWholeUnderReplaced) {
  Receiving r;
  r.send(r.header());
  r.send(dataFrames(16350));
  const std::string first = r.file(kFirst), a = r.file("QV 05.Dec.06  14.05.33A.dat");
  r.put("QV 05.Dec.06  14.05.33.notes", "Site=Roof\r\n");
  r.send(r.header());  // the same log again, cut short by the watchdog
  EXPECT_NE(r.view.label(platform::LabelId::kLblGenMsg).find("replaced/"), std::string::npos);
  r.send(dataFrames(50, {}, true));
  r.timers.advance(10000);
  const std::string folder = "/prog/replaced/2026-12-05 10.00.03/";  // when it was moved
  EXPECT_EQ(r.fs.files.at(folder + kFirst), first);
  EXPECT_EQ(r.fs.files.at(folder + "QV 05.Dec.06  14.05.33A.dat"), a);
  EXPECT_EQ(r.fs.files.at(folder + "QV 05.Dec.06  14.05.33.notes"), "Site=Roof\r\n");
  EXPECT_FALSE(r.fs.exists("/prog/QV 05.Dec.06  14.05.33A.dat"));  // nothing old stays beside it
  EXPECT_FALSE(r.fs.exists("/prog/QV 05.Dec.06  14.05.33.notes"));
  EXPECT_EQ(r.win.program().files.catalogue.NumFiles, 1);
  EXPECT_EQ(r.view.list.size(), 1u);
  // Cut short: marked beside its file and never listed as complete, also after a restart.
  EXPECT_EQ(r.win.program().files.catalogue.FileStatus[0], store::kHeaderOnly);
  EXPECT_TRUE(r.fs.exists("/prog/QV 05.Dec.06  14.05.33.ended"));
  r.win.program().files.catalogue = {};
  r.win.program().files.SearchForFiles();
  EXPECT_EQ(r.win.program().files.catalogue.FileStatus[0], store::kHeaderOnly);
}

TEST(Owners, AnUploadTheFullListCouldNotTakeLabelsNoOtherEntry) {
  Receiving r;
  const std::string head = "\"12/04/2006\",\"10:00:00 AM\",0,1\r\n1,1,0\r\n1,0\r\n5\r\n";
  for (int i = 0; i < 100; ++i) r.put("qv" + std::to_string(100 + i) + ".dat", head);
  r.put("qv199.ended", "Upload ended early\r\n");
  r.win.program().files.SearchForFiles();
  r.send(r.header());
  r.send(dataFrames(10));  // complete, but not listed: the list is full
  EXPECT_EQ(r.win.program().files.catalogue.FileStatus[99], store::kHeaderOnly);
}

TEST(Owners, DeletingTheUploadBeingReceivedOrClosingTheWindowAsksFirst) {
  Receiving r;
  r.send(r.header());
  r.send(dataFrames(150, {}, true));
  r.view.listSelect(r.entry(kFirst));
  r.box.answerNext(Answer::kNo);
  r.view.click(C::kDelete);
  EXPECT_NE(r.box.shown.back().text.find("Deleting it ends the upload"), std::string::npos);
  r.box.answerNext(Answer::kNo);
  r.view.click(C::kClose);
  EXPECT_NE(r.box.shown.back().text.find("Closing the window ends it"), std::string::npos);
  EXPECT_FALSE(r.win.ended());
  r.send(dataFrames(20, {}, true));  // still running after both answers "No"
  EXPECT_EQ(r.port.written, std::string(1 + 3, '\x06'));

  r.box.answerNext(Answer::kYes);
  r.view.click(C::kDelete);
  EXPECT_FALSE(r.fs.exists("/prog/" + kFirst));
  r.send(dataFrames(1, {}, true));  // the upload has ended: the meter keeps the rest
  EXPECT_EQ(r.port.written.back(), '\x15');
  EXPECT_FALSE(r.fs.exists("/prog/QV 05.Dec.06  14.05.33.ended"));  // it went with its file
}

}  // namespace
}  // namespace kestrand::testing
