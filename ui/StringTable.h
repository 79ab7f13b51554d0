#pragma once

#include <QString>
#include <cstdint>

// The program's string resources by number.
constexpr int32_t IDS_SOCKET_INIT_FAILED = 103;

// Text of a string resource; empty for a number without one.
QString LoadStringResource(int32_t id);
