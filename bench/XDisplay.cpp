#include "XDisplay.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Xvfb's root window is black with -br; a Qt dialog's first frame paints its light window colour.
constexpr uint32_t ROOT_COLOUR = 0x000000;
// The probe stays clear of the controls: the dialog's top-left corner.
constexpr int PROBE_X = 1;
constexpr int PROBE_Y = 1;

std::string ReadDisplayNumber(int fd, int timeoutMs) {
    std::string text;
    pollfd wait{fd, POLLIN, 0};
    char buffer[32];
    while (text.find('\n') == std::string::npos && poll(&wait, 1, timeoutMs) > 0) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    const size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

long long SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

XDisplay::XDisplay() {
    // -displayfd lets the server pick a free display number and tell it once it accepts clients.
    server = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-br",
                                 "-nolisten", "tcp", "-noreset"},
        std::vector<std::string>{}, true);
    if (server->Output() < 0) return;
    const std::string number = ReadDisplayNumber(server->Output(), 10000);
    if (number.empty()) return;
    name = ":" + number;
    connection = xcb_connect(name.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
        return;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

XDisplay::~XDisplay() {
    if (connection != nullptr) xcb_disconnect(connection);
}

std::optional<xcb_window_t> XDisplay::NextMappedWindow(long long deadlineNs) {
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            const xcb_window_t window = map->window;
            const bool topLevel = mapped && !map->override_redirect;
            std::free(event);
            if (topLevel) return window;
        }
        const long long left = deadlineNs - SteadyNanoseconds();
        if (left <= 0) return std::nullopt;
        pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left / 1000000 + 1));
    }
}

bool XDisplay::Painted(xcb_window_t window) {
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, PROBE_X, PROBE_Y, 1, 1, ~0u),
        nullptr);
    if (image == nullptr) return false;
    uint32_t pixel = 0;
    const int length = xcb_get_image_data_length(image);
    std::memcpy(&pixel, xcb_get_image_data(image), std::min<size_t>(sizeof pixel, length));
    std::free(image);
    return (pixel & 0xffffff) != ROOT_COLOUR;
}

std::optional<XDisplay::Shown> XDisplay::WaitForWindow(long long startNs, int timeoutMs) {
    const long long deadline = SteadyNanoseconds() + timeoutMs * 1000000LL;
    const std::optional<xcb_window_t> window = NextMappedWindow(deadline);
    if (!window) return std::nullopt;
    Shown shown{};
    shown.window = *window;
    shown.mappedMs = (SteadyNanoseconds() - startNs) / 1e6;
    // The frame is polled: X tells nothing when a client's image reaches a window.
    while (!Painted(*window)) {
        if (SteadyNanoseconds() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    shown.paintedMs = (SteadyNanoseconds() - startNs) / 1e6;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, *window), nullptr);
    if (geometry != nullptr) {
        shown.width = geometry->width;
        shown.height = geometry->height;
        std::free(geometry);
    }
    return shown;
}

void XDisplay::Drain() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
}
