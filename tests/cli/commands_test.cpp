// kestrand-cli list, view, export and print as whole processes on one raw data file: the list
// entry, the labels and grid in the display formats of another directory, the CSV file, and the
// PDF report read back by pdftotext against the report's text.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/pty/process.h"

namespace kestrand::testing {
namespace {

// The words of every line that has some, one line each, the pages' form feeds dropped.
std::string words(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    std::istringstream w(line);
    std::string word, joined;
    while (w >> word) joined += (joined.empty() ? "" : " ") + word;
    if (!joined.empty()) out += joined + "\n";
  }
  return out;
}

TEST(CliCommands, ListViewExportAndPrintARawFile) {
  const TempDir temp;
  const std::filesystem::path dir = temp.path;
  std::ofstream(dir / "qv0001.dat", std::ios::binary)
      << "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n1,0\r\n0.5\r\n1,0\r\n-2\r\n";
  const std::string cli = std::string(KESTRAND_CLI) + " ";
  const std::string in = (dir / "qv0001.dat").string() + " --data-dir " + dir.string();
  ASSERT_EQ(
      std::system(
          (cli + "list --data-dir " + dir.string() + " >" + (dir / "list.out").string()).c_str()),
      0);
  EXPECT_EQ(slurp(dir / "list.out"),
            "01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2   Units V/m      "
            "qv0001.dat\n");

  // Display formats from another directory: dd/MM/yyyy and hh:mm:ss (a PM hour gets a blank).
  const auto formats = dir / "formats";
  std::filesystem::create_directory(formats);
  std::ofstream(formats / "riviriro_date.inf") << "9\r\n";
  std::ofstream(formats / "riviriro_time.inf") << "4\r\n";
  const std::string view = cli + "view " + (dir / "qv0001.dat").string() + " --data-dir " +
                           formats.string() + " >" + (dir / "view.out").string();
  ASSERT_EQ(std::system(view.c_str()), 0);
  EXPECT_EQ(slurp(dir / "view.out"),
            "Start Date - 15/01/2006\nEnd Date - 15/01/2006\nStart Time -  14:05:09\n"
            "End Time -  14:05:10\nNumber of Samples -  2\nProbe Model Number - QV-1100\n"
            "Units - V/m\n\n\n Time     \tX-Point\n02:05:09 PM\t .5\n02:05:10 PM\t-2\n");
  const std::string gone = cli + "view " + (dir / "qvgone.dat").string() + " --data-dir " +
                           formats.string() + " >/dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(std::system(gone.c_str())), 1);  // after the reader's error box

  ASSERT_EQ(std::system((cli + "export " + in + " " + (dir / "out.csv").string()).c_str()), 0);
  EXPECT_EQ(slurp(dir / "out.csv"),
            "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\r\n"
            "\"01/15/2006\",\"02:05:09 PM\",.5,\"QV-1100\",\"V/m\"\r\n"
            "\"01/15/2006\",\"02:05:10 PM\",-2,\"\",\"V/m\"\r\n");

  ASSERT_EQ(std::system((cli + "print " + in + " --text " + (dir / "r.txt").string()).c_str()), 0);
  ASSERT_EQ(std::system((cli + "print " + in + " --pdf " + (dir / "r.pdf").string()).c_str()), 0);
  const std::string text = slurp(dir / "r.txt");
  EXPECT_NE(text.find("01/15/2006  02:05:10 PM    -2.000    \n"), std::string::npos);
  const std::string pdf = (dir / "r.pdf").string();
  ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + pdf + ".txt").c_str()), 0);
  EXPECT_EQ(words(slurp(pdf + ".txt")), words(text));
}

}  // namespace
}  // namespace kestrand::testing
