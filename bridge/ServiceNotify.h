#pragma once

#include <string>

// What the service manager shows of the bridge (sd_notify). Nothing is sent when the bridge was
// not started by one (no NOTIFY_SOCKET).

// The configuration is read and every gateway's thread runs.
void NotifyReady();
// One line: whether the broker is connected, or why not.
void NotifyStatus(const std::string& status);
void NotifyStopping();
