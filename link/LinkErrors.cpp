#include <array>
#include <cstdio>
#include <cstring>

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

const char* LinkErrorText(int32_t code, const LinkSession& session) {
    // Each thread formats into its own text, so a worker and the user-interface thread can report
    // failures at the same moment.
    thread_local char text[ERROR_TEXT_SIZE];
    if (code == -1) code = session.lastError.load();
    std::snprintf(text, sizeof text, "通信エラー : %d", code);
    if (code >= LINK_E_ABORTED &&
        code - LINK_E_ABORTED < static_cast<int32_t>(LINK_ERROR_SUFFIXES.size())) {
        const char* suffix = LINK_ERROR_SUFFIXES[static_cast<size_t>(code - LINK_E_ABORTED)];
        std::strncat(text, suffix, sizeof text - std::strlen(text) - 1);
    }
    return text;
}
