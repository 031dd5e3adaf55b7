#include "cli/receiver.h"

namespace kestrand::cli {

Receiver::Receiver(app::Platform p, std::string dataDir) : prog_(p, std::move(dataDir)) {
  prog_.link.onUploadEnded([this](link::UploadEnd) {
    ended_ = true;
    if (whenEnded_) whenEnded_();
  });
}

void Receiver::start(const std::string& device) {
  // The desktop program's load steps, with `device` as the port and no file list.
  prog_.load({.openPort = [&] { prog_.link.openPort(device); }, .listFiles = false, .failed = {}});
}

void Receiver::stop() {
  prog_.link.closeChannel();
  prog_.link.closePort();
  prog_.present.showQueuedBoxes();  // what the link had still to say
}

}  // namespace kestrand::cli
