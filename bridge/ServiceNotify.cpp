#include "bridge/ServiceNotify.h"

#include <systemd/sd-daemon.h>

#include <algorithm>

namespace {

// A line break would end the status and start a field of the notify protocol.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

// The status stays what the publisher last said about the broker.
void NotifyReady() {
    sd_notify(0, "READY=1");
}

void NotifyStatus(const std::string& status) {
    sd_notify(0, ("STATUS=" + OneLine(status)).c_str());
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1\nSTATUS=stopping");
}
