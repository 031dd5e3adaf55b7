// Who may change what. The upload being received belongs to the receive side alone: deleting it
// or closing the window asks first, a full list labels no other entry, and an upload received
// again under the same name moves the earlier one aside whole. (What the user does meanwhile is
// tested on the real window in tests/qt/upload_in_use_test.cpp.)

#include <gtest/gtest.h>

#include "tests/app/shell.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using C = ports::Command;
using ports::Answer;

const std::string kFirst = "QV 05.Dec.06  14.05.33.dat";

struct Receiving : Shell {
  Receiving() { started(); }
  void send(const std::string& frame) { port.deliver(frame); }
  void send(const std::vector<std::string>& frames) {
    for (const std::string& f : frames) send(f);
  }
  std::string header() const { return headerFrame({.stamp = stamp(3626, 50733)}); }
  int entry(const std::string& name) { return win.program().files.catalogue.find(name); }
};

TEST(Owners, ASameNameUploadCutShortLeavesTheEarlierWholeUnderReplaced) {
  Receiving r;
  r.send(r.header());
  r.send(dataFrames(16350));
  const std::string first = r.file(kFirst), a = r.file("QV 05.Dec.06  14.05.33A.dat");
  r.put("QV 05.Dec.06  14.05.33.notes", "Site=Roof\r\n");
  r.send(r.header());  // the same log again, cut short by the watchdog
  EXPECT_NE(r.view.label(ports::LabelId::kLblGenMsg).find("replaced/"), std::string::npos);
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
