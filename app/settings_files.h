#pragma once
// The chart's reference level in its one-line settings file in the data directory
// ("riviriro_ref.inf"), beside the program's other settings files. It is read no further than a
// few hundred bytes and written whole through FileSystem::writeAll, so a failure leaves the old
// file as it was.

#include <optional>
#include <string>
#include <string_view>

#include "ports/file_system.h"
#include "view/exposure.h"

namespace kestrand::app {

inline constexpr std::string_view kReferenceSettingsFile = "riviriro_ref.inf";

// The level the reference file holds; nullopt when the file is missing, empty, unreadable or
// holds no level.
std::optional<double> readReferenceLevel(const ports::FileSystem& fs, const std::string& dataPath);
// The level ("%.7g" in the C form) and CR LF, or an empty line for no level. Throws
// kestrand::Error.
void saveReferenceLevel(ports::FileSystem& fs, const std::string& dataPath,
                        std::optional<double> level);

// The exposure standard, frequency and uncertainty the Chart tab assesses against, in a settings
// file of their own ("riviriro_std.inf"): the standard's id on the first line, the frequency as
// typed (such as 900MHz) on the second, the expanded uncertainty as typed (such as 2 dB; empty
// for none) on the third. Empty texts when the file is missing or unreadable, or for lines it
// lacks (a file written before the uncertainty was kept has two).
inline constexpr std::string_view kAssessmentSettingsFile = "riviriro_std.inf";
using view::AssessmentChoice;
AssessmentChoice readAssessmentChoice(const ports::FileSystem& fs, const std::string& dataPath);
// Throws kestrand::Error.
void saveAssessmentChoice(ports::FileSystem& fs, const std::string& dataPath,
                          const AssessmentChoice& choice);

}  // namespace kestrand::app
