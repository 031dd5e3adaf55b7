#pragma once
// Terminal settings and error counters of an open serial device (POSIX; Linux for the
// counters). On Windows both functions do nothing.

#include <optional>

#include "adapters/posix/serial/line_marks.h"

namespace kestrand::adapters::posix {

// Makes the terminal driver keep and mark bad bytes instead of dropping them: parity and
// framing checks on (INPCK), errors not ignored (IGNPAR off), marks on (PARMRK), breaks
// neither ignored nor turned into a signal (IGNBRK, BRKINT off), no stripping of the eighth
// bit (ISTRIP off). Everything else of the raw settings stays. True when the driver took
// the settings; then the stream carries the marks that LineMarkDecoder reads.
bool markLineErrors(int fd);

// The driver's error counters, or nullopt when it keeps none (pseudo-terminals; some
// adapters) or the system has no such call.
std::optional<LineCounters> readLineCounters(int fd);

}  // namespace kestrand::adapters::posix
