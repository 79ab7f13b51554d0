#pragma once

#include <QIcon>
#include <array>
#include <cstdint>

// The icon resource of the program: one image per size, embedded at build time.
constexpr int32_t IDI_APP_ICON = 128;
inline constexpr std::array<int, 4> APP_ICON_SIZES = {16, 32, 48, 256};

// Loads an icon resource with every size it holds; a null icon when there is none.
QIcon LoadIconResource(int32_t id);
