#include "adapters/qt/serial/qt_serial_port.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#include <utility>

#include "adapters/posix/serial/tty_line.h"
#include "core/error.h"

#if !defined(Q_OS_WIN)
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kestrand::adapters::qt {

namespace {

// The name Qt opens: on Unix an absolute path with links followed (a missing device keeps
// its absolute path, so that Qt reports it as missing).
QString systemPath(const std::string& device) {
  const QString name = QString::fromLocal8Bit(device.data(), static_cast<qsizetype>(device.size()));
#if defined(Q_OS_WIN)
  return name;
#else
  const QFileInfo info(name);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
#endif
}

// The device as the user knows it, with the system device when a link led there.
std::string deviceText(const std::string& device, const QString& path) {
  const std::string system = path.toLocal8Bit().toStdString();
  if (system == device) return device;
  return device + " (" + system + ")";
}

bool userMayNotUse([[maybe_unused]] const QString& path) {
#if defined(Q_OS_WIN)
  return false;
#else
  return ::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES;
#endif
}

Error openError(const std::string& device, const QString& path, QSerialPort::SerialPortError e,
                const std::string& reason) {
  const std::string name = deviceText(device, path);
  switch (e) {
    case QSerialPort::PermissionError:
      if (userMayNotUse(path)) {
        return Error(ErrorKind::kPortInUse,
                     "You may not use the port " + name + ": " + reason +
                         ". On Linux the user must belong to the group \"dialout\" (add the "
                         "user to it, then log in again).");
      }
      return Error(ErrorKind::kPortInUse,
                   "The port " + name + " is in use by another program: " + reason +
                       ". If no other program uses it: on Linux the user must belong to the "
                       "group \"dialout\".");
    case QSerialPort::DeviceNotFoundError:
      return Error(ErrorKind::kPortOpenFailed,
                   "The port " + name + " does not exist: " + reason + ".");
    default:
      return Error(ErrorKind::kPortOpenFailed,
                   "The port " + name + " cannot be opened: " + reason + ".");
  }
}

#if !defined(Q_OS_WIN)
// True when the device has hung up: the adapter is gone or the far end closed. Reads then
// return end of file or fail at once, so the port would be woken without end.
bool hungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
#endif

Error notOpen() {
  return Error(ErrorKind::kIo, "The serial port is not open.");
}

}  // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {
  QObject::connect(port_.get(), &QSerialPort::readyRead, port_.get(), [this] { onReadyRead(); });
  QObject::connect(port_.get(), &QSerialPort::errorOccurred, port_.get(),
                   [this](QSerialPort::SerialPortError e) {
                     if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)
                       checkLost(e == QSerialPort::ResourceError);
                   });
#if !defined(Q_OS_WIN)
  hangUp_ = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
  hangUp_->setEnabled(false);
  QObject::connect(hangUp_.get(), &QSocketNotifier::activated, port_.get(),
                   [this] { checkLost(false); });
#endif
}

QtSerialPort::~QtSerialPort() {
  close();
}

void QtSerialPort::open(const std::string& device) {
  close();
  if (device.empty()) throw Error(ErrorKind::kPortOpenFailed, "No serial port was named.");
  const QString path = systemPath(device);
  port_->setPortName(path);
  // Qt applies these when opening.
  port_->setBaudRate(QSerialPort::Baud9600);
  port_->setDataBits(QSerialPort::Data8);
  port_->setParity(QSerialPort::NoParity);
  port_->setStopBits(QSerialPort::OneStop);
  port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!port_->open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError e = port_->error();
    const std::string reason = port_->errorString().toStdString();
    port_->clearError();
    throw openError(device, path, e, reason);
  }
  system_ = path.toLocal8Bit().toStdString();
  decoder_.reset();
#if defined(Q_OS_WIN)
  classifier_.reset(std::nullopt);
#else
  const auto fd = static_cast<int>(port_->handle());
  marks_ = posix::markLineErrors(fd);
  classifier_.reset(posix::readLineCounters(fd));
  hangUp_->setSocket(fd);
  hangUp_->setEnabled(true);
#endif
}

void QtSerialPort::close() {
  queue_.clear();
  decoder_.reset();
  marks_ = false;
  if (hangUp_) hangUp_->setEnabled(false);
  if (port_->isOpen()) port_->close();
}

void QtSerialPort::checkLost([[maybe_unused]] bool resourceError) {
  if (!port_->isOpen()) return;
#if !defined(Q_OS_WIN)
  if (!resourceError && !hungUp(static_cast<int>(port_->handle()))) return;
#else
  if (!resourceError) return;
#endif
  close();
  queue_.push({posix::ReceiveStep{{}, ports::comm_event::kPortLost}});
  // Raised from the event loop rather than from inside Qt's notification, so that the handler
  // may open the port again at once.
  QTimer::singleShot(0, port_.get(), [this] { queue_.deliver(); });
}

bool QtSerialPort::isOpen() const {
  return port_->isOpen();
}

std::string QtSerialPort::systemDevice() const {
  return isOpen() ? system_ : std::string();
}

std::string QtSerialPort::readAll() {
  if (!isOpen()) throw notOpen();
  return queue_.take();
}

void QtSerialPort::write(std::string_view bytes) {
  if (!isOpen()) throw notOpen();
  const auto size = static_cast<qint64>(bytes.size());
  if (port_->write(bytes.data(), size) != size) {
    throw Error(ErrorKind::kIo, "Cannot send to the serial port " +
                                    port_->portName().toStdString() + ": " +
                                    port_->errorString().toStdString() + ".");
  }
  // Starts the sending now rather than at the next turn of the event loop; does not wait.
  port_->flush();
}

void QtSerialPort::onEvent(std::function<void(int code)> handler) {
  queue_.setHandler(std::move(handler));
}

void QtSerialPort::onReadyRead() {
  ingest();
  // Inside a delivery (the handler runs a nested event loop) the running delivery takes
  // the new steps once the handler has returned.
  if (queue_.delivering()) return;
  // Qt does not announce bytes that arrive while its announcement is still being handled,
  // so they are fetched here before returning.
  do {
    queue_.deliver();
  } while (port_->isOpen() && ingest());
}

bool QtSerialPort::ingest() {
  const QByteArray raw = port_->readAll();
  if (raw.isEmpty()) return false;
  const std::string_view view(raw.constData(), static_cast<std::size_t>(raw.size()));
  const posix::DecodedBytes decoded =
      marks_ ? decoder_.feed(view) : posix::DecodedBytes{std::string(view), {}};
  std::optional<posix::LineCounters> counters;
#if !defined(Q_OS_WIN)
  counters = posix::readLineCounters(static_cast<int>(port_->handle()));
#endif
  std::vector<posix::ReceiveStep> steps = classifier_.steps(decoded, counters);
  if (steps.empty()) return false;
  queue_.push(std::move(steps));
  return true;
}

}  // namespace kestrand::adapters::qt
