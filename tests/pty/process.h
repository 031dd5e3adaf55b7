#pragma once
// Child processes for end-to-end tests: started with their output in files, waited for with a
// time limit, killed on demand.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kestrand::testing {

class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::string& outFile,
          const std::string& errFile, const std::vector<std::string>& env = {},
          void (*inChild)() = nullptr) {
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(err, 2);
      for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
      if (inChild) inChild();
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0 && !done_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Exit status, or -1 when the process did not end within `limit`.
  int wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        done_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  void signal(int sig) { ::kill(pid_, sig); }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool done_ = false;
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Waits until `pred` holds or `limit` passes.
template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "kestrand-e2e-XXXXXX").string();
    path = ::mkdtemp(templ.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const {
    return (std::filesystem::path(path) / name).string();
  }
  std::string path;
};

// The raw data files of a directory by name, with their bytes.
inline std::map<std::string, std::string> rawFiles(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.size() > 4 && name.substr(0, 2) == "QV" && name.substr(name.size() - 4) == ".dat")
      files[name] = slurp(e.path().string());
  }
  return files;
}

}  // namespace kestrand::testing
