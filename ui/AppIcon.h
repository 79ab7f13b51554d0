#pragma once

#include <QIcon>
#include <array>
#include <cstdint>

// The icon resource of the program: the raw pixels of each window icon size, embedded at build
// time. The larger sizes exist only as the desktop's installed files.
constexpr int32_t IDI_APP_ICON = 128;
inline constexpr std::array<int, 3> APP_ICON_SIZES = {16, 32, 48};

// Loads an icon resource with every size it holds; a null icon when there is none.
QIcon LoadIconResource(int32_t id);
