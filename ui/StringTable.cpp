#include "ui/StringTable.h"

#include <array>

namespace {

struct StringResource {
    int32_t id;
    const char* text;
};

constexpr std::array<StringResource, 1> STRING_TABLE = {{
    {IDS_SOCKET_INIT_FAILED, "Windows ソケットの初期化に失敗しました。"},
}};

}  // namespace

QString LoadStringResource(int32_t id) {
    for (const StringResource& entry : STRING_TABLE) {
        if (entry.id == id) return QString::fromUtf8(entry.text);
    }
    return {};
}
