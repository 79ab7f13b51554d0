#pragma once

#include <string>
#include <string_view>

// The core speaks UTF-8; the window system, UTF-16.
std::wstring Widened(std::string_view utf8);
std::string Narrowed(std::wstring_view utf16);
