#include <array>
#include <cstdio>

#include "link/LinkSession.h"

namespace {

// Short texts of the link codes 20000 to 20007, appended directly after the number.
constexpr std::array<const char*, 8> LINK_ERROR_SUFFIXES = {
    "",                 // LINK_E_ABORTED: the operator's own abort needs no explanation
    "(多重接続)",       // LINK_E_NOT_RUNNING
    "(接続済)",         // LINK_E_ALREADY_OPEN
    "(タイムアウト)",   // LINK_E_TIMEOUT
    "(NO DATA)",        // LINK_E_NO_DATA
    "(COMMAND ERROR)",  // LINK_E_COMMAND
    "(BUFFER ERROR)",   // LINK_E_OVERFLOW
    "",                 // last entry of the table
};

constexpr size_t ERROR_TEXT_SIZE = 64;

}  // namespace

std::string LinkErrorText(int32_t code) {
    char text[ERROR_TEXT_SIZE];
    std::snprintf(text, sizeof text, "通信エラー : %d", code);
    std::string shown = text;
    if (code >= LINK_E_ABORTED &&
        code - LINK_E_ABORTED < static_cast<int32_t>(LINK_ERROR_SUFFIXES.size())) {
        shown += LINK_ERROR_SUFFIXES[static_cast<size_t>(code - LINK_E_ABORTED)];
    }
    return shown;
}

std::string LinkErrorText(int32_t code, const LinkSession& session) {
    return LinkErrorText(code == -1 ? LastErrorOf(session) : code);
}
