#include "unit/RouteText.h"

#include <algorithm>

#include "device/InputText.h"
#include "device/OperatorTexts.h"

namespace {

constexpr const char* DEFAULT_GATEWAY_PORT = "10003";
constexpr int32_t MAX_TCP_PORT = 65535;

}  // namespace

AddressFault ParseGatewayAddress(const std::string& text, LinkRoute& route) {
    std::string address = text;
    std::string port = DEFAULT_GATEWAY_PORT;
    const size_t close = text.rfind(']');
    const size_t colon = text.rfind(':');
    const bool bracketed = !text.empty() && text.front() == '[' && close != std::string::npos;
    if (bracketed) {
        address = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return AddressFault::Malformed;
            port = text.substr(close + 2);
        }
    } else if (colon != std::string::npos && text.find(':') == colon) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    route.kind = Tcp;
    route.host = TrimmedAscii(address);
    route.service = TrimmedAscii(port);
    if (route.host.empty()) return AddressFault::NoAddress;
    if (route.service.empty()) return AddressFault::NoPort;
    if (!DecimalInRange(route.service, 1, MAX_TCP_PORT)) return AddressFault::BadPort;
    return AddressFault::None;
}

std::string AddressFaultText(AddressFault fault, const std::string& text, const LinkRoute& route) {
    switch (fault) {
        case AddressFault::None:
            return {};
        case AddressFault::Malformed:
            return "'" + text + "' is not ADDRESS[:PORT]";
        case AddressFault::NoAddress:
            return "no address in '" + text + "'";
        case AddressFault::NoPort:
            return "no port after ':' in '" + text + "'";
        case AddressFault::BadPort:
            return "the port must be a number 1-65535, not '" + route.service + "'";
    }
    return {};
}

std::optional<std::vector<int32_t>> ParseNodeList(const std::string& text) {
    std::vector<int32_t> nodes;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const size_t dash = item.find('-', 1);
        const auto first = DecimalInRange(item.substr(0, dash), 0, MAX_NODE);
        const auto last =
            dash == std::string::npos ? first : DecimalInRange(item.substr(dash + 1), 0, MAX_NODE);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int32_t node = *first; node <= *last; ++node)
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
        start = comma + 1;
    }
    return nodes;
}
