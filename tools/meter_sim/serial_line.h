#pragma once
// The meter's end of the serial line: a pseudo-terminal whose other side the receiving program
// opens, or an existing terminal device. Raw bytes, 9600 baud, 8 data bits, no parity, 1 stop bit.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {

class SerialLine {
 public:
  // Creates a pseudo-terminal in raw mode and a symbolic link `linkPath` to its terminal side
  // (an existing symbolic link there is replaced; any other file is left alone and refused).
  // The link is removed again when the line is destroyed. Throws std::runtime_error.
  static SerialLine openPty(const std::string& linkPath);
  // Opens an existing terminal device in raw mode. Throws std::runtime_error.
  static SerialLine openDevice(const std::string& path);

  SerialLine(SerialLine&& other) noexcept;
  SerialLine& operator=(SerialLine&&) = delete;
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;
  ~SerialLine();

  // The terminal the receiving program opens: the pseudo-terminal's device name, or the device.
  const std::string& deviceName() const { return deviceName_; }

  // Writes every byte; `paced` spaces them at the time one byte takes at 9600 baud with 10 bits
  // per character. Returns false when the line takes nothing for `timeout` or fails, or when a
  // stop was requested.
  bool write(std::span<const std::uint8_t> bytes, bool paced, std::chrono::milliseconds timeout);

  // Bytes that arrive within `timeout`: returns as soon as some have come, or empty when none
  // came (or a stop was requested). Throws std::runtime_error when the line fails.
  Bytes read(std::chrono::milliseconds timeout);

  // Time one character takes on the line.
  static constexpr std::chrono::nanoseconds kCharacterTime{1'041'667};

 private:
  SerialLine() = default;
  int fd_ = -1;
  int keepOpenFd_ = -1;  // our own handle on the pseudo-terminal's terminal side
  std::string deviceName_;
  std::string linkPath_;
};

// Set from a signal handler: long waits and writes give up and the upload stops.
void requestStop() noexcept;
bool stopRequested() noexcept;

}  // namespace kestrand::meter_sim
