#include "platform/posix/data_directory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>

using kestrand::platform::posix::chooseDataDirectory;
using kestrand::platform::posix::DataDirectoryProbe;

TEST(DataDirectory, ChoosesTheExecutablesOwnFolderOrTheUsersDataDirectory) {
  struct Case {
    std::string exeDir;
    bool exeWritable;
    std::map<std::string, std::string> env;
    std::string expected;
    bool created;
  };
  const std::map<std::string, std::string> home = {{"HOME", "/home/ann"}};
  const Case cases[] = {
      {"/home/ann/kestrand", true, home, "/home/ann/kestrand", false},
      {"/srv/kestrand/bin", false, home, "/home/ann/.local/share/kestrand-upload", true},
      // Root may write into /usr/bin and /opt/NAME/bin, but those belong to the package.
      {"/usr/bin", true, home, "/home/ann/.local/share/kestrand-upload", true},
      {"/opt/kestrand/bin", true, {{"HOME", "/root/"}}, "/root/.local/share/kestrand-upload", true},
      {"/usr/bin",
       false,
       {{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/data/"}},
       "/data/kestrand-upload",
       true},
      {"/usr/bin",
       false,
       {{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "rel"}},
       "/home/ann/.local/share/kestrand-upload",
       true},
      {"/usr/bin", false, {}, "/usr/bin", false},
  };
  for (const auto& c : cases) {
    std::set<std::string> made;
    DataDirectoryProbe probe{
        [&](const std::string& n) { return c.env.count(n) ? c.env.at(n) : std::string(); },
        [&](const std::string& d) { return d == c.exeDir && c.exeWritable; },
        [&](const std::string& d) { return made.insert(d), true; }};
    EXPECT_EQ(chooseDataDirectory(c.exeDir, probe), c.expected) << c.exeDir;
    EXPECT_EQ(made.count(c.expected), c.created ? 1U : 0U) << c.exeDir;
  }
}

TEST(DataDirectory, TheSystemProbeCreatesTheMissingDirectory) {
  const std::string base = testing::TempDir() + "kestrand_xdg_" + std::to_string(::getpid());
  setenv("XDG_DATA_HOME", (base + "/a/b").c_str(), 1);
  const auto probe = kestrand::platform::posix::systemDataDirectoryProbe();
  const std::string dir = chooseDataDirectory("/usr/bin", probe);
  EXPECT_EQ(dir, base + "/a/b/kestrand-upload");
  EXPECT_TRUE(probe.writable(dir));
  std::system(("rm -rf '" + base + "'").c_str());
}
