#include "store/upload_files.h"

#include <cstdio>

#include "core/error.h"
#include "store/notes.h"

namespace kestrand::store {
namespace {

std::string stampFolder(const ports::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d.%02d.%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

}  // namespace

std::string endedMarkPath(const std::string& dataPath) {
  return ports::withoutExtension(dataPath) + ".ended";
}

bool endedEarly(const ports::FileSystem& fs, const std::string& dataPath) {
  return fs.exists(endedMarkPath(dataPath));
}

void markEndedEarly(ports::FileSystem& fs, const std::string& dataPath, const std::string& why) {
  fs.writeAll(endedMarkPath(dataPath), "Upload ended early: " + why + "\r\n");
}

std::string continuationName(const std::string& name, char letter) {
  const std::string stem = ports::withoutExtension(name);
  return stem + letter + name.substr(stem.size());
}

std::vector<std::string> storedFilesOf(const ports::FileSystem& fs, const std::string& dataDir,
                                       const std::string& firstName) {
  std::vector<std::string> dataFiles{firstName};
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    dataFiles.push_back(continuationName(firstName, letter));
  std::vector<std::string> names;
  for (const std::string& name : dataFiles) {
    for (const std::string& file : {name, notesPath(name), endedMarkPath(name)}) {
      // Only the files an upload wrote: a link or a FIFO at the name is no one's upload, and is
      // left where it is (the new file's creation then refuses it).
      if (fs.isRegularFile(ports::joinPath(dataDir, file))) names.push_back(file);
    }
  }
  return names;
}

std::optional<ReplacedUpload> moveUploadAside(ports::FileSystem& fs, const std::string& dataDir,
                                              const std::string& firstName,
                                              const ports::LocalTime& now) {
  const std::vector<std::string> names = storedFilesOf(fs, dataDir, firstName);
  if (names.empty()) return std::nullopt;
  const std::string replaced = ports::joinPath(dataDir, kReplacedFolder);
  std::string folder = ports::joinPath(replaced, stampFolder(now));
  for (int n = 2; fs.exists(ports::joinPath(folder, names.front())); ++n)
    folder = ports::joinPath(replaced, stampFolder(now) + " (" + std::to_string(n) + ")");
  ReplacedUpload moved{folder, {}};
  for (const std::string& name : names) {
    fs.moveInto(ports::joinPath(dataDir, name), folder);
    moved.names.push_back(name);
  }
  return moved;
}

}  // namespace kestrand::store
