// The notes beside a raw data file: their file's name and lines, a round trip of any text, and
// the refusals that keep a reader bounded.

#include "store/notes.h"

#include <gtest/gtest.h>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::testing {
namespace {

using store::Notes;

const std::string kRaw = "/d/QV 05.Dec.06  14.05.33.dat";
const std::string kSidecar = "/d/QV 05.Dec.06  14.05.33.notes";

TEST(Notes, LiveBesideTheRawFileUnderItsBaseName) {
  EXPECT_EQ(store::notesPath(kRaw), kSidecar);
  EXPECT_EQ(store::notesPath("saved.CSV"), "saved.notes");
  EXPECT_EQ(store::notesPath("/a.b/qv1"), "/a.b/qv1.notes");
  EXPECT_EQ(store::notesPath("/d/.x"), "/d/.x.notes");
}

TEST(Notes, RoundTripAnyTextThroughTheSidecarLeavingTheRawFileAlone) {
  ports::fake::MemoryFileSystem fs;
  fs.files[kRaw] = "raw";
  const Notes notes{
      "\xC5\x81\xC3\xB3"
      "d\xC5\xBA, roof \\ mast",
      "", "two antennas\nsecond line\r\nthird \\n"};
  store::writeNotes(fs, kRaw, notes);
  EXPECT_EQ(fs.files.at(kSidecar),
            "Site: \xC5\x81\xC3\xB3"
            "d\xC5\xBA, roof \\\\ mast\r\nOperator: \r\n"
            "Comment: two antennas\\nsecond line\\r\\nthird \\\\n\r\n");
  EXPECT_EQ(store::readNotes(fs, kRaw), notes);
  EXPECT_EQ(fs.files.at(kRaw), "raw");

  // Windows-1252 text is kept as the characters it stands for.
  store::writeNotes(fs, kRaw, {"Gr\xFC\xDF \x80", "", ""});
  EXPECT_EQ(store::readNotes(fs, kRaw).site, "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
  // An editor's byte-order mark and missing lines are passed over; lines of other names kept.
  fs.files[kSidecar] = "\xEF\xBB\xBFSite: a\nColour: red\nComment: c\\q\n\nShape: round";
  EXPECT_EQ(store::readNotes(fs, kRaw),
            (Notes{"a", "", "c\\q", "", "", "", {"Colour: red", "", "Shape: round"}}));
  store::writeNotes(fs, kRaw, {});
  EXPECT_EQ(fs.files.at(kSidecar),
            "Site: \r\nOperator: \r\nComment: \r\nColour: red\r\n\r\nShape: round\r\n");
  fs.files[kSidecar] = "Site: a\r\n";

  // Clearing every value removes the sidecar; no sidecar is no notes and no error.
  store::writeNotes(fs, kRaw, {});
  EXPECT_FALSE(fs.exists(kSidecar));
  EXPECT_EQ(store::readNotes(fs, kRaw), Notes{});
  EXPECT_NO_THROW(store::removeNotes(fs, kRaw));
  fs.files[kSidecar] = "Site: x\r\n";
  fs.refuseRemove.insert(kSidecar);
  EXPECT_THROW(store::removeNotes(fs, kRaw), Error);
}

TEST(Notes, AHugeSidecarIsRefusedWithAMessageAndReadNoFurtherThanItsBound) {
  ports::fake::MemoryFileSystem fs;
  fs.files[kRaw] = "raw";
  const std::string line = "Site: " + std::string(store::kNotesFileBytes - 8, 'x') + "\r\n";
  fs.files[kSidecar] = line;  // exactly at the bound
  EXPECT_EQ(store::readNotes(fs, kRaw).site.size(), store::kNotesFileBytes - 8);
  fs.files[kSidecar] = line + std::string(1 << 20, 'y');
  fs.bytesRead = 0;
  try {
    store::readNotes(fs, kRaw);
    ADD_FAILURE() << "read";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(),
              "The notes QV 05.Dec.06  14.05.33.notes are larger than 16384 bytes; they were not "
              "read");
  }
  EXPECT_LE(fs.bytesRead, store::kNotesFileBytes + 1);
  // Notes too long for their file are not written, and the old file stays.
  EXPECT_THROW(store::writeNotes(fs, kRaw, {line, "", ""}), Error);
  EXPECT_EQ(fs.files.at(kSidecar).size(), line.size() + (1 << 20));
}

TEST(Notes, WhatIsNotTheProgramsNotesIsLeftAloneAndAFileThatIsGoneGetsNone) {
  ports::fake::MemoryFileSystem fs;
  fs.files[kRaw] = "raw";
  for (const std::string& junk : {std::string("Site: a\0b", 9),
                                  std::string("\x7F"
                                              "ELF\x02\0\0",
                                              6),
                                  std::string("Colour: red\r\n")}) {
    fs.files[kSidecar] = junk;
    EXPECT_THROW(store::readNotes(fs, kRaw), Error);
    EXPECT_THROW(store::writeNotes(fs, kRaw, {"b", "", ""}), Error);
    EXPECT_THROW(store::writeNotes(fs, kRaw, {}), Error);
    EXPECT_EQ(fs.files.at(kSidecar), junk);
  }
  fs.files.clear();
  EXPECT_THROW(store::writeNotes(fs, kRaw, {"b", "", ""}), Error);
  EXPECT_TRUE(fs.files.empty());
}

}  // namespace
}  // namespace kestrand::testing
