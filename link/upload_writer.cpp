#include "link/upload_writer.h"

#include <utility>

namespace kestrand::link {

UploadWriter::~UploadWriter() {
  try {
    close();
  } catch (const Error&) {
    // Closing at shut-down has no one left to report to.
  }
}

void UploadWriter::create(const std::string& path) {
  close();
  file_ = fs_.create(path);
  committed_ = 0;
  torn_ = false;
}

void UploadWriter::cutBack() noexcept {
  try {
    file_->truncate(committed_);
    torn_ = false;
  } catch (const Error&) {
    torn_ = true;  // tried again before the next write
  }
}

void UploadWriter::commit() {
  const std::string lines = std::exchange(pending_, {});
  if (!file_) return;
  try {
    if (torn_) file_->truncate(committed_);
    torn_ = false;
    if (!lines.empty()) file_->write(lines);
    file_->sync();
  } catch (const Error&) {
    cutBack();
    throw;
  }
  committed_ += lines.size();
}

void UploadWriter::close() {
  if (!file_) return;
  try {
    commit();
  } catch (const Error&) {
    try {
      file_->close();
    } catch (const Error&) {
      // The commit's failure is the one to report.
    }
    file_.reset();
    throw;
  }
  auto file = std::move(file_);
  file->close();
}

}  // namespace kestrand::link
