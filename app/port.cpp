// The port the link listens on: its number from the port settings file ("riviriro.inf" in the
// data directory, read no further than a few hundred bytes, written whole when the main window
// closes), the port dialog when the file gives none, and the "Comm 1" to "Comm 5" items of the
// "&Communication" menu.

#include "app/link_controller.h"
#include "core/text.h"
#include "store/field_reader.h"

namespace kestrand::app {
namespace {
std::string portFile(const std::string& dataPath) {
  return ports::joinPath(dataPath, std::string(kPortSettingsFile));
}
}  // namespace

std::optional<std::int16_t> readPortSetting(const ports::FileSystem& fs,
                                            const std::string& dataPath) {
  try {
    return store::FieldReader(fs.readHead(portFile(dataPath), ports::kSettingsFileBytes))
        .readInt16();
  } catch (const Error&) {
    return std::nullopt;
  }
}

void savePortSetting(ports::FileSystem& fs, const std::string& dataPath, std::int16_t port) {
  fs.writeAll(portFile(dataPath), signedText(port) + "\r\n");
}

void LinkController::GetDefaultPort(const std::function<int(int initial)>& choose) {
  const std::optional<std::int16_t> read = readPortSetting(d_.fs, d_.dataPath);
  // The first start offers the first port that is there (Comm 2, as ever, when none is).
  int offered = 2;
  for (int n = 5; n >= 1; --n) {
    if (d_.fs.exists(ports::comPortDevice(d_.fs, d_.dataPath, n))) offered = n;
  }
  PortNumber_ = read ? *read : static_cast<std::int16_t>(choose(offered));
  OpenCommPort(PortNumber_);
}

void LinkController::OpenCommPort(int port) {
  for (int k = 1; k <= 5; ++k) d_.present.check(ports::Command::kCommPort, k, false);
  std::string device;  // the device tried, named in the box after the port's own text
  try {
    closePort();
    if (port < 1 || port > 5)
      throw Error(ErrorKind::kIndexOutOfRange, "No menu item for port " + std::to_string(port));
    device = ports::comPortDevice(d_.fs, d_.dataPath, port);
    openPort(device, port);
    d_.present.check(ports::Command::kCommPort, port, true);
    PortNumber_ = static_cast<std::int16_t>(port);
  } catch (const Error&) {
    std::string tried = device.empty() ? "" : kLineBreak + "Device: " + device;
    // A COMn link is named with what it points to, which may be missing (an adapter unplugged).
    if (const auto target = device.empty() ? std::nullopt : d_.fs.linkTarget(device))
      tried += ", a link to " + *target + (d_.fs.exists(device) ? "" : ", which does not exist");
    d_.present.ask({kPortErrorText + tried, Buttons::kOk, true, kProgramTitle});
  }
}

void LinkController::savePortNumber() const {
  savePortSetting(d_.fs, d_.dataPath, PortNumber_);
}

}  // namespace kestrand::app
