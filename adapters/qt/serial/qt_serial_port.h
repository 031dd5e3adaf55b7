#pragma once
// The serial port on Qt (QSerialPort).
//
// Line: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control (XON 17 and XOFF 19
// are data like any other byte), raw: every byte value 0..255 passes unchanged both ways.
// The modem lines DTR and RTS stay as the system sets them on opening.
//
// Device: a path such as /dev/ttyUSB0, /dev/pts/3 or a link <data dir>/COM1 pointing at
// one. A relative path is taken from the current directory and links are followed, so that
// the lock against a second user of the port is the same whichever name is used. On
// Windows the port name (COM1) goes to Qt as it is.
//
// Opening failures throw kestrand::Error:
//   kPortInUse       another program holds the port (its lock file or exclusive use). Qt
//                    reports a user who may not use the device in the same way; on Linux
//                    that user must belong to the group "dialout", and the description
//                    says so.
//   kPortOpenFailed  the device does not exist, or any other failure.
// The description names the device and gives Qt's reason. Reading or writing a closed port
// throws kIo.
//
// Event codes, each delivered as its own handler call on the user-interface thread, in the
// order the line brought them, never while the handler is still running:
//   2      received bytes are waiting (every system).
//   Linux, serial ports whose driver reports line errors (UARTs, most USB adapters):
//   1004   framing error, and 1001 break, from the marks the terminal driver puts into the
//          data (see line_marks.h and tty_line.h);
//   1009   parity error, 1006 overrun, 1008 terminal buffer overflow: only when the driver
//          keeps error counters (TIOCGICOUNT: 8250/16550 UARTs, most USB adapters). Parity
//          errors cannot arise on a line without parity; the code is kept for completeness.
//          line_marks.h states the rule that keeps an error from being reported twice.
//   Linux pseudo-terminals (a simulated meter): no line errors can occur; only 2.
//   Other Unix systems: 1004 and 1001 from the marks; no counters.
//   Windows: Qt 6's QSerialPort no longer reports framing, parity or break conditions
//          (those values are gone from QSerialPort::SerialPortError), and the Windows build
//          maps only what Qt reports: only 2 occurs.
//   2001   (comm_event::kPortLost) the device went away: on Unix a hang-up or end of file on
//          the device (an unplugged USB adapter, the far end of a pseudo-terminal closed); on
//          every system Qt's resource error. The port closes itself at once, drops what it
//          had not yet delivered, and raises this one event, after the handler has returned
//          from whatever it was doing. open() again on the same name when the device is back.
//   Other read errors of Qt raise no event.
// Codes 1, 3 to 7, 1002, 1003, 1007, 1010 and 1011 never occur.
//
// For a read that holds data, then a line error, then more data, the handler gets: 2 (and
// readAll() returns the data in front of the error), the error code, then 2 again for the
// data after it.

#include <memory>
#include <string>

#include "adapters/posix/serial/line_marks.h"
#include "adapters/posix/serial/receive_queue.h"
#include "ports/serial_port.h"

class QSerialPort;
class QSocketNotifier;

namespace kestrand::adapters::qt {

class QtSerialPort final : public ports::SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  // Closes first when open.
  void open(const std::string& device) override;
  void close() override;
  bool isOpen() const override;
  std::string systemDevice() const override;
  std::string readAll() override;
  // Queues the bytes and starts sending them at once; never waits for the line.
  void write(std::string_view bytes) override;
  // The handler must not throw.
  void onEvent(std::function<void(int code)> handler) override;

  // True while open with the terminal marking bad bytes (Unix).
  bool marksLineErrors() const { return marks_; }

 private:
  void onReadyRead();
  // Closes the port and raises kPortLost when the device is gone.
  void checkLost(bool resourceError);
  // Takes the bytes Qt has read into the queue; true when that queued anything.
  bool ingest();

  std::unique_ptr<QSerialPort> port_;
  // Watches the device for a hang-up, which Qt does not report by itself.
  std::unique_ptr<QSocketNotifier> hangUp_;
  posix::LineMarkDecoder decoder_;
  posix::LineErrorClassifier classifier_;
  posix::ReceiveQueue queue_;
  bool marks_ = false;
  std::string system_;  // the device opened, links followed
};

}  // namespace kestrand::adapters::qt
