#pragma once
// The serial line to the meter: 9600 baud, 8 data bits, no parity, 1 stop bit, raw bytes.

#include <functional>
#include <string>
#include <string_view>

namespace kestrand::ports {

// Event codes delivered by the port, one notification per event.
namespace comm_event {
inline constexpr int kReceive = 2;
inline constexpr int kBreak = 1001;
inline constexpr int kFrame = 1004;
inline constexpr int kOverrun = 1006;
inline constexpr int kRxOver = 1008;
inline constexpr int kRxParity = 1009;
// The device went away (a USB adapter unplugged, the far end of a pseudo-terminal closed): the
// port has closed itself and delivers this once, as its last event. open() on the same name
// starts again once the device is back. Outside the range of the line's own events.
inline constexpr int kPortLost = 2001;
}  // namespace comm_event

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens the device (a path such as /dev/ttyS0, or a port name on Windows). Throws
  // kestrand::Error when the port is missing, in use or refuses to open.
  virtual void open(const std::string& device) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // The system's device behind the open port, links followed (/dev/ttyUSB0 for a link COM1 to
  // it); empty when closed, or when the realisation cannot tell.
  virtual std::string systemDevice() const { return {}; }
  // Every byte waiting now, unchanged; possibly empty.
  virtual std::string readAll() = 0;
  // Hands bytes to the line without waiting for them to be sent.
  virtual void write(std::string_view bytes) = 0;
  // Called on the user-interface thread once per event, with its code.
  virtual void onEvent(std::function<void(int code)> handler) = 0;
};

}  // namespace kestrand::ports

namespace kestrand::ports {
class FileSystem;
// The device of port number `n` (COM n): on Windows "COMn"; elsewhere the path "COMn" in the
// data directory when it exists (a link to /dev/ttyUSB0, a pseudo-terminal, ...), otherwise
// /dev/ttyS<n-1>.
std::string comPortDevice(const FileSystem& fs, const std::string& dataDir, int n);
}  // namespace kestrand::ports
