#pragma once
// The one raw data file channel of an upload. Lines are collected per message and handed to the
// file system together; commit() returns only when they are on stable storage, so that a
// message is acknowledged only after what it carried is safe.

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace kestrand::link {

class UploadWriter {
 public:
  explicit UploadWriter(platform::FileSystem& fs) : fs_(fs) {}
  ~UploadWriter();
  UploadWriter(const UploadWriter&) = delete;
  UploadWriter& operator=(const UploadWriter&) = delete;

  // Closes any open file, then creates (replacing) and opens `path`.
  void create(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

  void writeLine(std::string_view line) { pending_.append(line); }
  // Writes the lines collected so far and syncs them to stable storage.
  void commit();
  // Commits and closes; nothing happens when no file is open.
  void close();

 private:
  platform::FileSystem& fs_;
  std::unique_ptr<platform::WritableFile> file_;
  std::string path_;
  std::string pending_;
};

}  // namespace kestrand::link
