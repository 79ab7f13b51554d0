#pragma once

#include "bridge/BridgeConfig.h"

enum class BridgeMode { Check, Once, Run };

// Runs the bridge until SIGTERM or SIGINT (Run), or for one round (Once); whether it ended well:
// for Once, every unit read and every reading acknowledged.
bool RunBridge(const BridgeConfig& config, BridgeMode mode);
