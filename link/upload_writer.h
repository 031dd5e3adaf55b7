#pragma once
// The one raw data file channel of an upload. Lines are collected per message and handed to the
// file system together; commit() returns only when they are on stable storage, so that a
// message is acknowledged only after what it carried is safe.
//
// The file never ends in part of a line. The writer knows how much of the file is committed
// (written whole and synced); when a write or a sync fails (a full disk, a file-size limit, an
// I/O error), commit() cuts the file back to that size, drops the lines it was given and throws
// the error: their message is refused (NAK), and the meter's resend writes them anew, exactly
// once. A commit that finds nothing pending still syncs, and still fails when the file cannot be
// brought back to its committed size.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ports/file_system.h"

namespace kestrand::link {

class UploadWriter {
 public:
  explicit UploadWriter(ports::FileSystem& fs) : fs_(fs) {}
  ~UploadWriter();
  UploadWriter(const UploadWriter&) = delete;
  UploadWriter& operator=(const UploadWriter&) = delete;

  // Closes any open file, then creates (replacing) and opens `path`.
  void create(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }

  void writeLine(std::string_view line) { pending_.append(line); }
  // Writes the lines collected so far and syncs them to stable storage. On failure the file is
  // cut back to its last committed size, the lines are dropped, and the error is thrown.
  void commit();
  // Commits and closes; nothing happens when no file is open. The file is released even when
  // the commit fails (and the error thrown).
  void close();

 private:
  // Brings the file back to its committed size after a failed write or sync.
  void cutBack() noexcept;

  ports::FileSystem& fs_;
  std::unique_ptr<ports::WritableFile> file_;
  std::string pending_;
  std::uint64_t committed_ = 0;
  // The file may hold bytes beyond committed_ (a failed write that could not be cut back).
  bool torn_ = false;
};

}  // namespace kestrand::link
