// kestrand-cli's survey commands as whole processes: the notes beside an upload, the survey
// report read back with the poppler tools, and the whole upload of a first file and its
// continuation files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include "tests/cli/cli_rig.h"

namespace kestrand::testing {
namespace {

namespace fs = std::filesystem;

const std::string kFirst = "QV 05.Dec.06  14.05.33.dat";
const std::string kNotes = "QV 05.Dec.06  14.05.33.notes";
std::string continuation(char letter) {
  return "QV 05.Dec.06  14.05.33" + std::string(1, letter) + ".dat";
}

// A continuous upload's file, one sample a second, X-Point and Y-Point (data format 17): the
// X-Point `x` gives each record, and 1.
std::string rawFile(const char* time, int records, const std::function<std::string(int)>& x) {
  std::string s = "\"12/05/2006\",\"" + std::string(time) + "\",0,1\r\n1,17,0\r\n";
  for (int j = 0; j < records; ++j) s += "1,0\r\n" + x(j) + "\r\n1\r\n";
  return s;
}
// 2 in every record but `at`, which holds `odd`.
std::function<std::string(int)> twoBut(int at, const char* odd) {
  return [=](int j) { return j == at ? odd : "2"; };
}

// The text's lines, blanks and carriage returns at either end dropped and runs of blanks made
// one; empty lines left out.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::string out;
    for (char c : line) {
      if (c == '\t' || c == '\r' || c == '\f') c = ' ';
      if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (!out.empty()) lines.push_back(out);
  }
  return lines;
}

struct Survey : CliRig {
  // What a shell command prints, run in the data directory.
  std::string sh(const std::string& command) const {
    std::string text;
    FILE* pipe = ::popen(("cd '" + d.path + "' && " + command).c_str(), "r");
    char buf[65536];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
      text.append(buf, n);
    if (pipe) ::pclose(pipe);
    return text;
  }
  // Where `wanted` (lines of words) stand in order among the lines of `text`; the first one
  // missing is named.
  static std::string missingInOrder(const std::vector<std::string>& wanted,
                                    const std::string& text) {
    const std::vector<std::string> have = words(text);
    std::size_t at = 0;
    for (const std::string& line : wanted) {
      while (at < have.size() && have[at].find(line) != 0) ++at;
      if (at == have.size()) return line;
      ++at;
    }
    return "";
  }
};

TEST_F(Survey, NotesAreSetPrintedAndClearedBesideTheFileAndNeverListed) {
  put(kFirst, rawFile("02:05:33 PM", 3, twoBut(0, "2")));
  ASSERT_EQ(run({"notes", kFirst, "--site",
                 "\xC5\x81\xC3\xB3"
                 "d\xC5\xBA",
                 "--operator", "J. Nowak", "--comment", "two masts\nroof \\ 3"}),
            0)
      << err;
  EXPECT_EQ(slurp(d / kNotes),
            "Site: \xC5\x81\xC3\xB3"
            "d\xC5\xBA\r\nOperator: J. Nowak\r\nComment: two masts\\nroof "
            "\\\\ 3\r\n");
  ASSERT_EQ(run({"notes", kFirst, "--operator", ""}), 0);
  ASSERT_EQ(run({"notes", kFirst}), 0);
  EXPECT_EQ(out,
            "Site: \xC5\x81\xC3\xB3"
            "d\xC5\xBA\nOperator: \nComment: two masts\\nroof \\\\ 3\n");
  ASSERT_EQ(run({"list"}), 0);
  EXPECT_EQ(words(out).size(), 1u) << out;

  // Notes that cannot be read are refused with a message; a report goes on without them.
  fs::create_directory(d / "qv2.notes");
  put("qv2.dat", rawFile("02:05:33 PM", 3, twoBut(0, "2")));
  EXPECT_EQ(run({"notes", "qv2.dat"}), 1);
  EXPECT_NE(err.find("The notes qv2.notes could not be read"), std::string::npos) << err;
  EXPECT_EQ(run({"report", "qv2.dat", "--pdf", "r.pdf"}), 1);
  EXPECT_NE(err.find("RIviriro Error: The notes qv2.notes could not be read"), std::string::npos);
  EXPECT_TRUE(fs::exists(d / "r.pdf"));
  EXPECT_EQ(run({"notes", "missing.dat", "--site", "x"}), 1);
  EXPECT_FALSE(fs::exists(d / "missing.notes"));
}

TEST_F(Survey, NotesWritersTakeTurnsAndNotesNobodyMayWriteStay) {
  put(kFirst, rawFile("02:05:33 PM", 3, twoBut(0, "2")));
  for (int round = 0; round < 4; ++round) {
    fs::remove(d / kNotes);
    std::vector<std::unique_ptr<Process>> writers;
    for (const char* option : {"--site", "--operator", "--comment"}) {
      writers.push_back(std::make_unique<Process>(Args{KESTRAND_CLI, "notes", kFirst, option, "x"},
                                                  "/dev/null", "/dev/null", Args{}, childSetup));
    }
    for (auto& w : writers) EXPECT_EQ(w->wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(slurp(d / kNotes), "Site: x\r\nOperator: x\r\nComment: x\r\n") << round;
  }
  if (::getuid() != 0) GTEST_SKIP() << "a file nobody may write needs root to hand it over";
  ::chmod(d.path.c_str(), 0777);
  ::chmod((d / kNotes).c_str(), 0444);
  gAsNobody = true;
  EXPECT_EQ(run({"notes", kFirst, "--site", "", "--operator", "", "--comment", ""}), 1);
  EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
  EXPECT_EQ(run({"notes", kFirst, "--site", "y"}), 1);
  EXPECT_EQ(slurp(d / kNotes), "Site: x\r\nOperator: x\r\nComment: x\r\n");
}

TEST_F(Survey, TheReportHoldsTheNotesTheStatisticsTheChartAsVectorsAndThePrintedPages) {
  // A saw tooth of 0 to 4.5, its top at 5.5 once and its foot at -1.25 once.
  put(kFirst, rawFile("02:05:33 PM", 120, [](int j) {
        return j == 17 ? "5.5" : j == 40 ? "-1.25" : std::to_string((j % 10) * 0.5);
      }));
  put(kNotes, "Site: roof 3\r\nOperator: J. Nowak\r\nComment: north side\\nsouth side\r\n");
  ASSERT_EQ(run({"report", kFirst, "--pdf", "r.pdf", "--reference", "4"}), 0) << err;
  ASSERT_EQ(run({"print", kFirst, "--text", "r.txt"}), 0);
  ASSERT_EQ(run({"stats", kFirst}), 0);
  std::vector<std::string> wanted = {"File: QV 05.Dec.06 14.05.33.dat",
                                     "Site: roof 3",
                                     "Operator: J. Nowak",
                                     "Comment: north side",
                                     "south side",
                                     "Number of Samples - 120",
                                     "Reference level - 4 V/m"};
  // Each line of stats, with the maximum as a percentage of the level.
  const std::vector<std::string> stats = words(out);
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0], "X-Point 120 -1.25 5.5 02:05:50 PM 2.25625 2.699633 2006-12-05T14:05:50");
  // The report gives the maximum's date and time in the chosen formats, and no ISO text.
  const auto reported = [](std::string line, const std::string& level) {
    line.erase(line.rfind(' '));
    return line.insert(line.find(" PM ") - 9, " 12/05/2006") + " " + level;
  };
  wanted.push_back(reported(stats[0], "137.5"));
  wanted.push_back(reported(stats[1], "25"));
  for (const std::string& line : words(slurp(d / "r.txt"))) wanted.push_back(line);
  EXPECT_EQ(missingInOrder(wanted, sh("pdftotext -layout r.pdf -")), "");

  // The summary's page, then the listing's three.
  EXPECT_NE(sh("pdfinfo r.pdf").find("Pages:           4\n"), std::string::npos);
  // No picture: the chart's lines are paths, drawn (not filled) with many points each.
  EXPECT_EQ(words(sh("pdfimages -list r.pdf")).size(), 2u);
  const std::string svg = sh("pdftocairo -svg -f 1 -l 1 r.pdf -");
  int lines = 0;
  for (std::size_t at = svg.find("<path"); at != std::string::npos;
       at = svg.find("<path", at + 1)) {
    const std::string path = svg.substr(at, svg.find('>', at) - at);
    if (path.find("fill:none") == std::string::npos) continue;
    std::size_t points = 0;
    for (std::size_t l = path.find(" L "); l != std::string::npos; l = path.find(" L ", l + 1))
      ++points;
    lines += points >= 100 ? 1 : 0;
  }
  EXPECT_EQ(lines, 1);  // the saw tooth

  // The foot's name is written as the PDF's text, whatever characters it has.
  fs::copy(d / kFirst, d / "a) b\\c.dat");
  ASSERT_EQ(run({"report", "a) b\\c.dat", "--pdf", "r.pdf"}), 0) << err;
  EXPECT_EQ(words(sh("pdftotext -f 4 -layout r.pdf -")).back(), "a) b\\c.dat Page 4 of 4");
  // The listing's first line where Qt would draw it: half an inch down the printable area
  // (which is a quarter inch in), its baseline a font's ascent lower.
  const std::string probe = sh("pdftotext -f 2 -l 2 -bbox r.pdf - | grep -m1 '<word'");
  EXPECT_NE(probe.find("<word xMin=\"36.000000\" yMin=\"5"), std::string::npos) << probe;
}

TEST_F(Survey, TheWholeUploadIsOneSeriesWithItsTimesRunningOnAndStopsAtAGap) {
  // The continuation file's header starts a second late, as the upload counts; the series runs
  // on from the first file's clock: its record 100 is sample 16400, 16400 s after 02:05:33 PM.
  put(kFirst, rawFile("02:05:33 PM", 16300, twoBut(7777, "-3.25")));
  put(continuation('A'), rawFile("06:37:14 PM", 500, twoBut(100, "99.5")));
  const std::string whole = "X-Point 16800 -3.25 99.5 06:38:53 PM ";
  for (const std::string& file : {kFirst, continuation('A')}) {
    ASSERT_EQ(run({"stats", "--whole", file}), 0) << err;
    EXPECT_EQ(words(out).at(0).rfind(whole, 0), 0u) << out;
  }
  ASSERT_EQ(run({"stats", continuation('A')}), 0);
  EXPECT_EQ(words(out).at(0).rfind("X-Point 500 2 99.5 06:38:54 PM ", 0), 0u) << out;

  put(continuation('C'), rawFile("06:45:34 PM", 5, twoBut(0, "2")));
  EXPECT_EQ(run({"stats", "--whole", kFirst}), 1);
  EXPECT_EQ(words(out).at(0).rfind(whole, 0), 0u) << out;
  const std::string gap =
      "QV 05.Dec.06  14.05.33B.dat is missing; the whole upload stops at "
      "QV 05.Dec.06  14.05.33A.dat.";
  EXPECT_NE(err.find("RIviriro Error: " + gap), std::string::npos) << err;

  // The report says so too, and lists both files: 308 and 10 pages after the summary's.
  EXPECT_EQ(run({"report", "--whole", kFirst, "--pdf", "w.pdf"}), 1);
  const std::string read = sh("pdfinfo w.pdf 2>&1; pdftotext w.pdf /dev/null 2>&1");
  EXPECT_NE(read.find("Pages:           319\n"), std::string::npos);
  EXPECT_EQ(read.find("rror"), std::string::npos) << read;
  // The listing's pages after Qt's part of the file: one font, embedded once as a subset, and
  // a few hundred bytes of text runs a page; the foot on the last one.
  const std::vector<std::string> fonts = words(sh("pdffonts w.pdf"));
  EXPECT_EQ(std::count_if(fonts.begin(), fonts.end(),
                          [](const std::string& f) { return f.find(" WinAnsi yes yes ") < 80; }),
            1);
  const std::string pdf = slurp(d / "w.pdf");
  EXPECT_LT((pdf.size() - std::stoul(pdf.substr(pdf.rfind("/Prev ") + 6))) / 318, 1000u);
  EXPECT_EQ(words(sh("pdftotext -f 319 -layout w.pdf -")).back(),
            "QV 05.Dec.06 14.05.33.dat to QV 05.Dec.06 14.05.33A.dat Page 319 of 319");
  EXPECT_EQ(
      missingInOrder({"Files: QV 05.Dec.06 14.05.33.dat, QV 05.Dec.06 14.05.33A.dat", words(gap)[0],
                      "X-Point 16800 -3.25 99.5 12/05/2006 06:38:53 PM 2.005491"},
                     sh("pdftotext -l 1 -layout w.pdf -")),
      "");
  // The client who needs the verdict only: the same summary, no listing.
  EXPECT_EQ(run({"report", "--whole", kFirst, "--no-listing", "--pdf", "s.pdf"}), 1);
  EXPECT_NE(sh("pdfinfo s.pdf").find("Pages:           1\n"), std::string::npos);
  EXPECT_EQ(
      sh("pdftotext -l 1 -layout s.pdf - | grep -v T140533-"),
      sh("pdftotext -l 1 -layout w.pdf - | grep -v T140533- | sed 's/Page 1 of 319/Page 1 of 1/'"));
  EXPECT_EQ(run({"stats", "--whole", "saved.csv"}), 2);

  // The series stops, and says so, after a short continuation file that is not the last, before
  // a file already in it (a link) or one whose header differs; with the first file missing it
  // has none, from whichever letter it is started.
  const std::string a = continuation('A'), stopsAtA = "; the whole upload stops at " + a;
  put(continuation('B'), rawFile("06:45:34 PM", 5, twoBut(0, "2")));
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] {},
       a + " holds 500 records, fewer than 16300; " + continuation('B') + " cannot follow it"},
      {[&] {
         put(a, rawFile("06:37:14 PM", 16300, twoBut(0, "2")));
         fs::remove(d / continuation('C'));
       },
       ""},
      {[&] {
         fs::remove(d / continuation('B'));
         fs::create_symlink(kFirst, d / continuation('B'));
       },
       continuation('B') + " is " + kFirst + " again" + stopsAtA},
      {[&] {
         std::string other = rawFile("06:45:34 PM", 5, twoBut(0, "2"));
         fs::remove(d / continuation('B'));
         put(continuation('B'), other.replace(other.find("\n1,17,0"), 7, "\n2,17,0"));
       },
       continuation('B') + " does not go on from " + kFirst + " (another log rate)" + stopsAtA},
      {[&] { fs::rename(d / kFirst, d / "first"); }, kFirst + " is missing"}};
  for (const auto& [change, says] : cases) {
    change();
    for (const std::string& from : {kFirst, continuation('B')}) {
      if (from == kFirst && !fs::exists(d / kFirst)) continue;
      EXPECT_EQ(run({"stats", "--whole", from}), says.empty() ? 0 : 1) << says;
      EXPECT_NE(err.find(says), std::string::npos) << err;
    }
  }
}

TEST_F(Survey, NoOutputReplacesAFileTheCommandReads) {
  put(kFirst, rawFile("02:05:33 PM", 16300, twoBut(0, "2")));
  put(continuation('A'), rawFile("06:37:14 PM", 5, twoBut(0, "2")));
  put(kNotes, "Site: roof 3\r\n");
  for (const char* settings : {"riviriro_date.inf", "riviriro_time.inf", "riviriro_ref.inf"})
    put(settings, "4\r\n");
  fs::create_symlink(continuation('A'), d / "link.pdf");
  for (const Args& args : {Args{"report", kFirst, "--whole", "--pdf", "link.pdf"},
                           Args{"chart", kFirst, "--whole", "--png", continuation('A')},
                           Args{"report", continuation('A'), "--whole", "--pdf", kFirst},
                           Args{"report", kFirst, "--pdf", kNotes},
                           Args{"report", kFirst, "--pdf", "riviriro_ref.inf"},
                           Args{"chart", kFirst, "--png", "riviriro_date.inf"},
                           Args{"export", kFirst, "riviriro_time.inf"}}) {
    EXPECT_EQ(run(args), 1) << args.back();
    EXPECT_NE(err.find("choose another name for the output"), std::string::npos) << err;
  }
  EXPECT_TRUE(slurp(d / continuation('A')) == rawFile("06:37:14 PM", 5, twoBut(0, "2")));
  EXPECT_EQ(slurp(d / kNotes) + slurp(d / "riviriro_ref.inf") + slurp(d / "riviriro_date.inf") +
                slurp(d / "riviriro_time.inf"),
            "Site: roof 3\r\n4\r\n4\r\n4\r\n");
}

TEST_F(Survey, LimitsAndTheAssessmentOfAnUploadAgainstAStandard) {
  ASSERT_EQ(run({"limits", "--standard", "icnirp1998-public", "--frequency", "900MHz"}), 0) << err;
  EXPECT_EQ(out,
            "E\t41.25\tV/m\ttable\nH\t0.111\tA/m\ttable\nS\t4.5\tW/m2\ttable\n"
            "averaging\t360\ts\n");
  ASSERT_EQ(run({"limits", "--standard", "fcc-general", "--frequency", "0.9GHz"}), 0);
  EXPECT_EQ(words(out)[0], "E 47.56 V/m derived");
  ASSERT_EQ(run({"limits", "--list"}), 0);
  EXPECT_NE(out.find("icnirp2020-public-local\tICNIRP 2020, general public local exposure\n"),
            std::string::npos);
  EXPECT_EQ(run({"limits", "--standard", "fcc-general", "--frequency", "200kHz"}), 1);
  EXPECT_EQ(run({"limits", "--standard", "fcc", "--frequency", "1GHz"}), 2);
  EXPECT_EQ(run({"limits", "--standard", "fcc-general", "--frequency", "1 GHz"}), 2);

  // 200 seconds of 30 V/m, then 200 of 10: the first six minutes hold an rms of 23.33 V/m.
  put(kFirst, rawFile("02:05:33 PM", 400, [](int j) { return j < 200 ? "30" : "10"; }));
  const Args assess = {"assess",      kFirst,  "--standard", "icnirp1998-public",
                       "--frequency", "900MHz"};
  ASSERT_EQ(run(assess), 0) << err;
  EXPECT_EQ(out,
            "# ICNIRP 1998, general public exposure\t900 MHz\taveraged over 360 s\n"
            "X-Point\tV/m\t41.25\t30\t72.7\t52.9\t23.33333\t32.0\t2006-12-05T14:05:33\t100\t"
            "complies\taveraged\n"
            "Y-Point\tV/m\t41.25\t1\t2.4\t0.1\t1\t0.1\t2006-12-05T14:05:33\t100\tcomplies\t"
            "averaged\n");
  // The report's assessment page says the same, and the rule it decided by; the first page names
  // the client and the instrument, which the notes keep after the other values.
  ASSERT_EQ(run({"notes", kFirst, "--client", "City", "--instrument-serial", "0412-77",
                 "--calibration-date", "2026-03-14", "--site", "roof"}),
            0);
  EXPECT_EQ(slurp(d / kNotes),
            "Site: roof\r\nOperator: \r\nComment: \r\nClient: City\r\nInstrument serial: "
            "0412-77\r\nCalibration date: 2026-03-14\r\n");
  ASSERT_EQ(run({"report", kFirst, "--pdf", "a.pdf", "--standard", "icnirp1998-public",
                 "--frequency", "900MHz", "--uncertainty", "2"}),
            0)
      << err;
  EXPECT_EQ(missingInOrder({"File: QV 05.Dec.06 14.05.33.dat Report id: 20061205T140533-",
                            "Site: roof", "Client: City", "Instrument serial: 0412-77",
                            "Calibration date: 2026-03-14", "Assessment",
                            "Standard - ICNIRP 1998, general public exposure (ICNIRP 1998 Table 7)",
                            "Frequency - 900 MHz", "Averaging time - 360 s",
                            "X-Point V/m 41.25 30 72.7 52.9 23.33333 32.0 2006-12-05T14:05:33 100 "
                            "complies averaged",
                            "Overall verdict - complies"},
                           sh("pdftotext -layout a.pdf -")),
            "");
  // Summary, assessment and eight listing pages, each saying so at its foot with the file's name.
  const std::string text = sh("pdftotext -layout a.pdf -");
  std::size_t page = 0;
  for (std::size_t at = 0, end; (end = text.find('\f', at)) != std::string::npos; at = end + 1) {
    const std::vector<std::string> lines = words(text.substr(at, end - at));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "QV 05.Dec.06 14.05.33.dat Page " + std::to_string(++page) + " of 10");
  }
  EXPECT_EQ(page, 10u);
  put("short.dat", rawFile("02:05:33 PM", 3, twoBut(0, "50")));
  Args shorter = assess;
  shorter[1] = "short.dat";
  ASSERT_EQ(run(shorter), 0) << err;
  EXPECT_EQ(words(out)[1], "X-Point V/m 41.25 50 121.2 146.9 - - - - exceeds maximum");
  // The meter's own percentage is no reading to assess.
  put("pc.csv",
      "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\r\n"
      "\"01/15/2006\",\"02:05:09 PM\",12.5,\"R530 FCC\",\"%\"\r\n");
  shorter[1] = "pc.csv";
  EXPECT_EQ(run(shorter), 1);
  EXPECT_NE(err.find("X-Point is not assessed (units \"%\")"), std::string::npos) << err;
}

}  // namespace
}  // namespace kestrand::testing
