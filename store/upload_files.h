#pragma once
// The files that make up one stored upload, beside each other in the data directory: its first
// raw data file, the continuation files "A" to "Z", its notes and the mark of an upload that
// ended early. An upload received again under the same name moves them aside, whole, into
// replaced/<when>/; nothing of the earlier upload is destroyed or left beside the new one.

#include <optional>
#include <string>
#include <vector>

#include "ports/clock.h"
#include "ports/file_system.h"

namespace kestrand::store {

// The folder, inside the data directory, that holds the uploads replaced by a newer one.
inline constexpr const char* kReplacedFolder = "replaced";

// The mark beside the raw data file at `dataPath` of an upload that ended early: its extension
// replaced by ".ended".
std::string endedMarkPath(const std::string& dataPath);
// True when the raw data file at `dataPath` carries the mark.
bool endedEarly(const ports::FileSystem& fs, const std::string& dataPath);
// Writes the mark (its text says why) through the one file-replacement routine. Throws
// kestrand::Error.
void markEndedEarly(ports::FileSystem& fs, const std::string& dataPath, const std::string& why);

// The continuation file of `name` with letter `letter` ('A'..'Z'): the letter before ".dat".
std::string continuationName(const std::string& name, char letter);

// The files of the upload whose first raw data file is `firstName` that are regular files in
// `dataDir`, by bare name: the first file, its continuation files, and the notes and mark of each.
std::vector<std::string> storedFilesOf(const ports::FileSystem& fs, const std::string& dataDir,
                                       const std::string& firstName);

// An upload moved aside: the folder it went to (a path) and the bare names moved.
struct ReplacedUpload {
  std::string folder;
  std::vector<std::string> names;
};

// Moves every file of the upload `firstName` into replaced/<date and time of `now`>/ of
// `dataDir` (a second move within the same second gets its own folder). Nullopt when the upload
// has no file there. Throws kestrand::Error when a file cannot be moved; those moved before stay
// moved and the rest stay where they were.
std::optional<ReplacedUpload> moveUploadAside(ports::FileSystem& fs, const std::string& dataDir,
                                              const std::string& firstName,
                                              const ports::LocalTime& now);

}  // namespace kestrand::store
