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
  path_ = path;
}

void UploadWriter::commit() {
  if (!file_) {
    pending_.clear();
    return;
  }
  if (!pending_.empty()) {
    std::string lines;
    lines.swap(pending_);
    file_->write(lines);
  }
  file_->sync();
}

void UploadWriter::close() {
  if (!file_) return;
  auto file = std::move(file_);
  std::string lines;
  lines.swap(pending_);
  if (!lines.empty()) file->write(lines);
  file->sync();
  file->close();
}

}  // namespace kestrand::link
