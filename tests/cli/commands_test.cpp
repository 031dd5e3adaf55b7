// kestrand-cli as whole processes: what it prints and writes, and that hostile or clumsy input
// replaces nothing, loses nothing, reads nothing without bound and gets a truthful exit status.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <clocale>

#include "tests/cli/cli_rig.h"
#include "tests/serial/pty.h"

namespace kestrand::testing {
namespace {

namespace fs = std::filesystem;

const std::string kRaw =
    "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1,0\r\n12.5\r\n1,0\r\n-2\r\n";
const std::string kTitles = "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\r\n";
const std::string kCsv = kTitles + "\"01/15/2006\",\"02:05:09 PM\",12.5,\"QV-1100\",\"V/m\"\r\n" +
                         "\"01/15/2006\",\"02:05:10 PM\",-2,\"\",\"V/m\"\r\n";

struct Cli : CliRig {
  Cli() {
    ::chmod(d.path.c_str(), 0755);
    put("qv0001.dat", kRaw);
    put("good.csv", kCsv);
  }
};

TEST_F(Cli, ViewExportAndPrintARawFileWithoutWritingWhereTheyRead) {
  // Formats from elsewhere (dd/MM/yyyy, hh:mm:ss); the folders are read-only (to nobody as root).
  fs::create_directory(d / "formats");
  put("formats/riviriro_date.inf", "9\r\n");
  put("formats/riviriro_time.inf", "4\r\n");
  ::chmod(d.path.c_str(), 0555);
  gAsNobody = ::getuid() == 0;
  EXPECT_EQ(run({"list"}), 0) << err;
  EXPECT_EQ(run({"stats", "good.csv"}), 0) << err;
  ASSERT_EQ(run({"view", "qv0001.dat", "--data-dir", "formats"}), 0);
  EXPECT_EQ(out,
            "Start Date - 15/01/2006\nEnd Date - 15/01/2006\nStart Time -  14:05:09\n"
            "End Time -  14:05:10\nNumber of Samples -  2\nProbe Model Number - QV-1100\n"
            "Units - V/m\n\n\n Time     \tX-Point\n02:05:09 PM\t 12.5\n02:05:10 PM\t-2\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(d.path), {}), 3);
  ::chmod(d.path.c_str(), 0755);
  gAsNobody = false;
  ASSERT_EQ(run({"export", "qv0001.dat", "out.csv"}), 0);
  EXPECT_EQ(slurp(d / "out.csv"), kCsv);
  ASSERT_EQ(run({"print", "qv0001.dat", "--text", "r.txt"}), 0);
  ASSERT_EQ(run({"print", "qv0001.dat", "--pdf", "r.pdf"}), 0);
  EXPECT_NE(slurp(d / "r.txt").find("01/15/2006  02:05:10 PM    -2.000    \n"), std::string::npos);
  // The PDF holds the same lines, the blanks in them as wide as the font's.
  for (const char* line : {"Probe: +QV-1100 +Units: V/m$", "^01/15/2006 +02:05:09 PM +12.500$",
                           "^ *Page +1 +of +1$"}) {
    const std::string grep = "pdftotext -layout " + d / "r.pdf" + " - | grep -Eq '" + line + "'";
    EXPECT_EQ(std::system(grep.c_str()), 0) << line;
  }
  const std::string pdf = slurp(d / "r.pdf");
  gFileLimit = true;  // a write cut short, as on a full disk, leaves the old report as it was
  EXPECT_EQ(run({"print", "qv0001.dat", "--pdf", "r.pdf"}), 1);
  EXPECT_TRUE(slurp(d / "r.pdf") == pdf);
  EXPECT_EQ(run({"export", "qv0001.dat", "r.pdf"}), 1);  // not killed by the limit's signal
  EXPECT_TRUE(slurp(d / "r.pdf") == pdf);
  EXPECT_EQ(std::distance(fs::directory_iterator(d.path), {}), 6);  // nothing left beside
}

TEST_F(Cli, HostileOrClumsyInputEndsSoonWithinBoundsWithAStatusThatSaysWhatWentWrong) {
  fs::create_symlink("/dev/zero", d / "QV z.dat");
  fs::create_symlink("/dev/zero", d / "riviriro_date.inf");
  fs::create_symlink("/dev/zero", d / "riviriro_ref.inf");
  fs::create_symlink("qv0001.dat", d / "alias.csv");
  put("QV bad.dat", "\"x\",\"y\",99,1\r\n");
  ::mkfifo((d / "fifo.csv").c_str(), 0644);
  put("long.csv", kTitles + "\"01/15/2006\",\"02:05:09 PM\"," + std::string(10 << 20, 'x') +
                      ",\"QV-1100\",\"V/m\"\r\n");
  put("bad.csv", kTitles + "\"01/15/2006\",\"02:05:09 PM\",x2,\"QV-1100\",\"V/m\"\r\n");
  put("short.csv", kTitles + "\r\n" + kCsv.substr(kTitles.size()));  // a blank line pushes one out
  put("empty.csv", "");
  put("title.csv", kTitles);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's shadow memory is far above any such limit
  gLimited = true;
#endif
  const struct {
    Args args;
    int status;
    const char* says;
  } runs[] = {{{"list"}, 1, "RIviriro Error: File: QV bad.dat\n\nAn error has been found in its"},
              {{"view", "QV z.dat"}, 1, "Not a regular file"},
              {{"view", "fifo.csv"}, 1, "Not a regular file"},
              {{"export", "good.csv", "fifo.csv"}, 1, "Nothing reads from the FIFO"},
              {{"export", "qv0001.dat", "qv0001.dat"}, 1, "qv0001.dat is the file being read"},
              {{"chart", "alias.csv", "--png", "qv0001.dat"}, 1, "is the file being read"},
              {{"chart", "good.csv", "--png", "c.png"}, 0, ""},
              {{"view", "long.csv"}, 1, "Line 2 is longer than any line"},
              {{"view", "short.csv"}, 0, "1 line of short.csv was not read"},
              {{"view", "missing.csv"}, 1, "Error: Error on Open!  "},
              {{"export", "bad.csv", "out.csv"}, 1, "Type mismatch"},
              {{"stats", "empty.csv"}, 1, "no samples in empty.csv"},
              {{"stats", "title.csv"}, 1, "no samples in title.csv"},
              {{"print", "qv0001.dat", "--text", "/dev/stderr"}, 0, "Probe:  QV-1100"}};
  for (const auto& r : runs) {
    EXPECT_EQ(run(r.args), r.status) << r.args.back();
    EXPECT_NE(err.find(r.says), std::string::npos) << err.substr(0, 4000);
    EXPECT_LT(err.size(), 4000u) << r.args.back();
  }
  EXPECT_TRUE(slurp(d / "qv0001.dat") == kRaw);
  EXPECT_TRUE(fs::exists(d / "out.csv"));  // the export went on after the message
  // A name of terminal escapes reaches the console escaped, its line cut and the rest shown.
  put("QV" + std::string(245, '\x1B') + ".dat", "junk\r\n");
  EXPECT_EQ(run({"list"}), 1);
  EXPECT_EQ(err.find('\x1B'), std::string::npos);
  EXPECT_NE(err.find("File: QV\\x1B\\x1B"), std::string::npos) << err.substr(0, 200);
  EXPECT_NE(err.find("\\x1B... (1008 bytes)\n\nAn error has been found"), std::string::npos) << err;
}

TEST_F(Cli, OutputThatCannotBeWrittenEndsInStatusOneWithAMessage) {
  for (const std::string redirect : {">/dev/full", ">&-"}) {
    for (const Args& args : {Args{"list"}, Args{"view", "qv0001.dat"}, Args{"stats", "good.csv"},
                             Args{"notes", "qv0001.dat"}, Args{"--version"}}) {
      EXPECT_EQ(run(args, {}, redirect), 1) << args[0] << redirect;
      EXPECT_NE(err.find("cannot write standard output"), std::string::npos) << err;
    }
  }
}

TEST_F(Cli, OnATerminalTextIsShownHarmlessAndAfterAnErrorBoxViewShowsWhatIsLeft) {
  put("QV bad.dat", "\"x\",\"y\",99,1\r\n");
  EXPECT_EQ(run({"view", "QV bad.dat"}), 1);
  EXPECT_TRUE(out.starts_with("Start Date - \nEnd Date - \n")) << out;  // the emptied labels
  // A units label with a superscript two, notes with escapes and a bell.
  put("qv2.dat", "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1,1\r\n12.5\r\n");
  put("qv2.notes", "Site: \x1B[2J\x07roof\r\n");
  {
    const test::Pty pty;  // raw: a line feed stays one
    termios raw{};
    ::cfmakeraw(&raw);
    ::tcsetattr(pty.slave, TCSANOW, &raw);
    stdoutTo = pty.slavePath;
    const auto shown = [&](const Args& args, const char* locale) {
      EXPECT_EQ(run(args, {std::string("LC_ALL=") + locale}), 0) << err;
      return test::readFd(pty.master, 4096);
    };
    EXPECT_NE(shown({"view", "qv2.dat"}, "C.UTF-8").find("Units - mW/cm\xC2\xB2\n"),
              std::string::npos);
    EXPECT_NE(shown({"view", "qv2.dat"}, "C").find("Units - mW/cm\xB2\n"), std::string::npos);
    EXPECT_EQ(shown({"notes", "qv2.dat"}, "C.UTF-8"),
              "Site: \\x1B[2J\\x07roof\nOperator: \nComment: \n");
  }
  stdoutTo.clear();
  EXPECT_EQ(run({"notes", "qv2.dat"}), 0);  // into a file the bytes stay as they are
  EXPECT_EQ(out, "Site: \x1B[2J\x07roof\nOperator: \nComment: \n");
}

TEST_F(Cli, NumbersAreInTheCFormWhateverTheLocale) {
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "no de_DE.UTF-8 locale (scripts/install-deps.sh makes it)";
  std::setlocale(LC_ALL, "C");
  for (const Args& args :
       {Args{"stats", "qv0001.dat"}, Args{"view", "good.csv"}, Args{"export", "good.csv", "o"},
        Args{"chart", "qv0001.dat", "--png", "o", "--reference", "5.5"}}) {
    std::string shown[2];
    for (int german = 0; german < 2; ++german) {
      EXPECT_EQ(run(args, {german ? "LC_ALL=de_DE.UTF-8" : "LC_ALL=C"}), 0) << args[0] << err;
      shown[german] = out + (args.size() > 2 ? slurp(d / "o") : "");
    }
    EXPECT_EQ(shown[1], shown[0]) << args[0];
  }
}

TEST_F(Cli, CommandLineLikeAUnixTool) {
  for (const std::string name :
       {"receive", "list", "view", "export", "print", "chart", "stats", "notes", "report"}) {
    EXPECT_EQ(run({name, "--help"}), 0) << name;
    EXPECT_TRUE(out.starts_with("Usage:\n  kestrand-cli " + name + " ")) << out;
  }
  // Refused before anything is read: Qt's own options, empty names, loose numbers, huge charts.
  for (const Args& tail :
       {Args{"-platform", "bogus"}, Args{"--size", "20000x20"}, Args{"--size", "7072x7071"},
        Args{"--size", "5x5abc"}, Args{"--reference", "5,5"}, Args{"--reference", "0x10"},
        Args{"--reference", "5abc"}}) {
    Args args = {"chart", "qv0001.dat", "--png", "c.png"};
    args.insert(args.end(), tail.begin(), tail.end());
    EXPECT_EQ(run(args), 2) << tail.back();
  }
  EXPECT_EQ(run({"print", "qv0001.dat", "--text", "c.png", "-style", "foo"}), 2);
  EXPECT_NE(err.find("Unknown option 'style'"), std::string::npos) << err;
  EXPECT_EQ(run({"print", "qv0001.dat", "--pdf", ""}), 2);
  EXPECT_EQ(run({"export", "good.csv", ""}), 2);
  EXPECT_FALSE(fs::exists(d / "c.png"));
  EXPECT_EQ(run({"print", "qv0001.dat", "--pdf", "r\xC3\xA9p\xC3\xB6rt \xE2\x82\xAC.pdf"}), 0);
  EXPECT_TRUE(fs::exists(d / "r\xC3\xA9p\xC3\xB6rt \xE2\x82\xAC.pdf"));
  // A name with a line feed in it stays on one line of the list.
  put("QV a\n\\b.dat", kRaw);
  ASSERT_EQ(run({"list"}), 0);
  EXPECT_NE(out.find("QV a\\x0A\\\\b.dat\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace kestrand::testing
