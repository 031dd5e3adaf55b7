// kestrand-cli list and view on a raw data file received from the meter simulator.

#include <gtest/gtest.h>

#include "tests/pty/process.h"

namespace kestrand::testing {
namespace {

using namespace std::chrono_literals;

TEST(ListAndView, PrintTheEntryTheLabelsAndTheGridOfAReceivedFile) {
  TempDir d;
  const std::string link = d / "link";
  Process sim({KESTRAND_SIM, "--link", link, "--mode", "1", "--log-rate", "1", "--records", "3",
               "--columns", "5", "--start", "2006-01-15 14:05:09"},
              d / "sim.out", d / "sim.err");
  ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(link); }, 10s));
  Process rx({KESTRAND_CLI, "receive", "--port", link, "--data-dir", d.path, "--once"},
             d / "rx.out", d / "rx.err");
  ASSERT_EQ(rx.wait(30s), 0) << slurp(d / "rx.err");
  const auto files = rawFiles(d.path);
  ASSERT_EQ(files.size(), 1u);
  const std::string name = files.begin()->first;

  Process list({KESTRAND_CLI, "list", "--data-dir", d.path}, d / "list.out", d / "list.err");
  ASSERT_EQ(list.wait(10s), 0) << slurp(d / "list.err");
  EXPECT_EQ(slurp(d / "list.out"), slurp(d / "rx.out"));  // the entry the upload listed
  EXPECT_NE(slurp(d / "list.out").find("      " + name + "\n"), std::string::npos);

  // Display formats from another directory: dd/MM/yyyy and hh:mm:ss (a PM hour gets a blank).
  const std::string formats = d / "formats";
  std::filesystem::create_directory(formats);
  std::ofstream(formats + "/riviriro_date.inf") << "9\r\n";
  std::ofstream(formats + "/riviriro_time.inf") << "4\r\n";
  Process view({KESTRAND_CLI, "view", d / name, "--data-dir", formats}, d / "view.out",
               d / "view.err");
  ASSERT_EQ(view.wait(10s), 0) << slurp(d / "view.err");
  const std::string out = slurp(d / "view.out");
  const std::string labels =
      "Start Date - 15/01/2006\nEnd Date - 15/01/2006\nStart Time -  14:05:09\n"
      "End Time -  14:05:11\nNumber of Samples -  3\nProbe Model Number - QV-1100\n"
      "Units - V/m\n\n\n Time     \tX-Point\tX-Max\n02:05:09 PM\t";
  EXPECT_EQ(out.substr(0, labels.size()), labels) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 8 + 1 + 4);

  Process gone({KESTRAND_CLI, "view", d / "qvgone.dat", "--data-dir", formats}, d / "gone.out",
               d / "gone.err");
  EXPECT_EQ(gone.wait(10s), 1);  // after the reader's error box
}

}  // namespace
}  // namespace kestrand::testing
