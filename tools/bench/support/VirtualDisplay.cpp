#include "tools/bench/support/VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#if ZONTER_BENCH_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace bench {

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = dir + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

#if ZONTER_BENCH_HAVE_XCB

namespace {

xcb_connection_t* Xcb(void* c) { return static_cast<xcb_connection_t*>(c); }

// A toolkit's helper windows are tiny; a program's window is not.
bool IsMainWindowSized(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    const bool big = g && g->width >= 50 && g->height >= 50;
    std::free(g);
    return big;
}

}  // namespace

std::unique_ptr<VirtualDisplay> VirtualDisplay::Start() {
    const std::string xvfb = FindOnPath("Xvfb");
    if (xvfb.empty()) return nullptr;
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return nullptr;
    std::unique_ptr<VirtualDisplay> d(new VirtualDisplay);
    // The server writes its display number on fd 3 once it accepts clients.
    d->server_ = std::make_unique<ChildProcess>(ChildProcess::Setup{
        {xvfb, "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, {}, true, ready[1]});
    ::close(ready[1]);
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    char buf[32];
    while (number.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
        const ssize_t k = ::read(ready[0], buf, sizeof buf);
        if (k <= 0) break;
        number.append(buf, static_cast<std::size_t>(k));
    }
    ::close(ready[0]);
    if (number.empty() || number.find('\n') == std::string::npos) return nullptr;
    d->name_ = ":" + number.substr(0, number.find('\n'));

    xcb_connection_t* c = xcb_connect(d->name_.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    d->connection_ = c;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    return d;
}

VirtualDisplay::~VirtualDisplay() {
    if (connection_) xcb_disconnect(Xcb(connection_));
    if (server_) {
        server_->Signal(SIGTERM);
        server_->Wait(5000);
    }
}

void VirtualDisplay::Drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(Xcb(connection_))) std::free(e);
}

std::optional<Clock::time_point> VirtualDisplay::WaitForMap(int boundMs) {
    xcb_connection_t* c = Xcb(connection_);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const Clock::time_point at = Clock::now();
            xcb_window_t window = XCB_NONE;
            if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                if (!map->override_redirect) window = map->window;
            }
            std::free(e);
            if (window != XCB_NONE && IsMainWindowSized(c, window)) return at;
        }
        if (xcb_connection_has_error(c)) return std::nullopt;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
}

#else

std::unique_ptr<VirtualDisplay> VirtualDisplay::Start() { return nullptr; }
VirtualDisplay::~VirtualDisplay() = default;
void VirtualDisplay::Drain() {}
std::optional<Clock::time_point> VirtualDisplay::WaitForMap(int) { return std::nullopt; }

#endif

}  // namespace bench
