#include "tests/fakes/memory_file_system.h"

namespace kestrand::ports::fake {
namespace {

class MemoryFile : public WritableFile {
 public:
  MemoryFile(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {
    ++fs_.openFiles;
  }
  ~MemoryFile() override {
    if (open_) --fs_.openFiles;
  }
  void write(std::string_view bytes) override {
    if (!open_) throw Error(ErrorKind::kIo, "File is closed: " + path_);
    const bool fits = bytes.size() <= fs_.freeBytes;
    if (!fits) bytes = bytes.substr(0, static_cast<std::size_t>(fs_.freeBytes));
    fs_.files[path_].append(bytes);
    if (fs_.freeBytes != MemoryFileSystem::kUnlimited) fs_.freeBytes -= bytes.size();
    if (!fits) throw Error(ErrorKind::kIo, "No space left on device: " + path_);
  }
  void sync() override {
    if (fs_.refuseSync.count(path_)) throw Error(ErrorKind::kIo, "Input/output error: " + path_);
    fs_.synced[path_] = fs_.files[path_];
  }
  void truncate(std::uint64_t size) override {
    if (!open_) throw Error(ErrorKind::kIo, "File is closed: " + path_);
    std::string& content = fs_.files[path_];
    if (size < content.size()) {
      if (fs_.freeBytes != MemoryFileSystem::kUnlimited) fs_.freeBytes += content.size() - size;
      content.resize(static_cast<std::size_t>(size));
    }
    fs_.synced[path_] = content;
  }
  void close() override {
    if (open_) --fs_.openFiles;
    open_ = false;
  }

 private:
  MemoryFileSystem& fs_;
  std::string path_;
  bool open_ = true;
};

std::string nameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dirOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> MemoryFileSystem::list(const std::string& dir,
                                                const std::string& pattern) const {
  if (refuseList.count(dir)) throw Error(ErrorKind::kFileNotFound, "Path not found: " + dir);
  std::vector<std::string> out;
  for (const auto& [path, content] : files)
    if (dirOf(path) == dir && wildcardMatch(pattern, nameOf(path))) out.push_back(nameOf(path));
  return out;
}

std::uint64_t MemoryFileSystem::size(const std::string& path) const {
  auto it = files.find(path);
  if (it == files.end()) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
  return it->second.size();
}

std::string MemoryFileSystem::readHead(const std::string& path, std::size_t maxBytes) const {
  auto it = files.find(path);
  if (it == files.end()) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
  std::string head = it->second.substr(0, maxBytes);
  bytesRead += head.size();
  return head;
}

void MemoryFileSystem::writeAll(const std::string& path, std::string_view content) {
  const auto failAt = [&](Step step) {
    if (failReplaceAt == step) throw Error(ErrorKind::kIo, "Input/output error: " + path);
  };
  if (refuseCreate.count(path))
    throw Error(ErrorKind::kPermissionDenied, "Permission denied: " + path);
  failAt(Step::kCreate);
  const std::string temporary = joinPath(dirOf(path), "." + nameOf(path) + ".tmp");
  try {
    auto file = create(temporary);
    file->write(content.substr(
        0, failReplaceAt == Step::kWrite ? content.size() / 2 : std::string_view::npos));
    failAt(Step::kWrite);
    failAt(Step::kSync);
    file->sync();
    file->close();
    failAt(Step::kRename);
  } catch (const Error&) {
    files.erase(temporary);
    synced.erase(temporary);
    throw;
  }
  files[path] = std::move(files[temporary]);
  synced[path] = files[path];
  files.erase(temporary);
  synced.erase(temporary);
}

std::unique_ptr<WritableFile> MemoryFileSystem::create(const std::string& path) {
  if (refuseCreate.count(path))
    throw Error(ErrorKind::kPermissionDenied, "Permission denied: " + path);
  files[path].clear();
  synced[path].clear();
  return std::make_unique<MemoryFile>(*this, path);
}

std::unique_ptr<FileLock> MemoryFileSystem::lock(const std::string& path) {
  if (!exists(path)) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
  return std::make_unique<FileLock>();
}

void MemoryFileSystem::remove(const std::string& path) {
  if (refuseRemove.count(path))
    throw Error(ErrorKind::kPermissionDenied, "Permission denied: " + path);
  if (!files.erase(path)) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
  synced.erase(path);
}

void MemoryFileSystem::moveInto(const std::string& path, const std::string& dir) {
  if (refuseRemove.count(path))
    throw Error(ErrorKind::kPermissionDenied, "Permission denied: " + path);
  const auto it = files.find(path);
  if (it == files.end()) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
  const std::string target = joinPath(dir, path.substr(path.rfind('/') + 1));
  if (files.count(target)) throw Error(ErrorKind::kIo, "File exists: " + target);
  files[target] = it->second;
  synced[target] = durable(path);
  files.erase(path);
  synced.erase(path);
}

std::string MemoryFileSystem::durable(const std::string& path) const {
  auto it = synced.find(path);
  return it == synced.end() ? std::string() : it->second;
}

}  // namespace kestrand::ports::fake
