#include "adapters/posix/data_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using kestrand::adapters::posix::chooseDataDirectory;
using kestrand::adapters::posix::DataDirectoryProbe;

TEST(DataDirectory, TheUsersOwnFolderOrTheUsersDataDirectory) {
  const struct {
    const char* exe;
    bool writable;
    const char *home, *xdg, *expected;
  } cases[] = {
      {"/home/ann/kestrand", true, "/home/ann", "", "/home/ann/kestrand"},
      {"/srv/kestrand/bin", false, "/home/ann", "", "/home/ann/.local/share/kestrand-upload"},
      // Root may write into /usr/bin and /opt/NAME/bin, but those belong to the package.
      {"/usr/bin", true, "/home/ann", "", "/home/ann/.local/share/kestrand-upload"},
      {"/opt/kestrand/bin", true, "/root/", "", "/root/.local/share/kestrand-upload"},
      {"/usr/bin", false, "/home/ann", "/data/", "/data/kestrand-upload"},
      {"/usr/bin", false, "/home/ann", "rel", "/home/ann/.local/share/kestrand-upload"},
      {"/usr/bin", false, "", "", "/usr/bin"},
  };
  for (const auto& c : cases) {
    std::string made;
    const DataDirectoryProbe probe{
        [&](const std::string& n) { return std::string(n == "HOME" ? c.home : c.xdg); },
        [&](const std::string& d) { return d == c.exe && c.writable; },
        [&](const std::string& d) { return made = d, true; }};
    const std::string chosen = chooseDataDirectory(c.exe, probe);
    EXPECT_EQ(chosen, c.expected) << c.exe;
    EXPECT_EQ(made, chosen == c.exe ? "" : chosen) << c.exe;  // the fallback is created
  }
}

TEST(DataDirectory, TheSystemProbeCreatesTheMissingDirectory) {
  const std::string base = testing::TempDir() + "kestrand_xdg_" + std::to_string(::getpid());
  setenv("XDG_DATA_HOME", (base + "/a/b").c_str(), 1);
  const auto probe = kestrand::adapters::posix::systemDataDirectoryProbe();
  const std::string dir = chooseDataDirectory("/usr/bin", probe);
  EXPECT_EQ(dir, base + "/a/b/kestrand-upload");
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  std::filesystem::remove_all(base);
}
