#include "link/upload_writer.h"

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
  if (!file_) {
    pending_.clear();
    return;
  }
  if (torn_) file_->truncate(committed_);
  torn_ = false;
  try {
    if (!pending_.empty()) file_->write(pending_);
    file_->sync();
  } catch (const Error&) {
    cutBack();
    throw;
  }
  committed_ += pending_.size();
  pending_.clear();
}

void UploadWriter::close() {
  if (!file_) return;
  try {
    commit();
  } catch (const Error&) {
    pending_.clear();
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
