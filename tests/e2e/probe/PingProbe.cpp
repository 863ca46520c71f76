// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// ping_probe [-i INTERVAL_MS] WINDOW...: round trips through the X server and the main
// thread of the programs that own the windows, one per window every INTERVAL_MS
// (default 20).
//
// Each ping is a _NET_WM_PING client message (WM_PROTOCOLS, data = the ping atom, a
// timestamp, the window) sent to the window; a client that lists _NET_WM_PING in its
// WM_PROTOCOLS answers from its event loop by sending the same message to the root
// window with the SubstructureNotify and SubstructureRedirect masks. The X server hands
// such an event only to the client that selected SubstructureRedirect on the root (a
// window manager's selection; there is none on the test display), so the probe selects
// it, and therefore passes on the map, configure and circulate requests that come with
// it unchanged, as if no one had selected it. Pings do not wait for each other, so a
// main thread that stalls leaves a row of them unanswered, and the first of the row
// measures the stall from its start.
//
// Output, a line per ping as its answer comes: "<sent> <round trip ms> answered
// <window>", <sent> in milliseconds since the epoch (the clock `date +%s%N` reads, so a
// script can set it against its own actions). On SIGTERM or SIGINT, or when a window
// has gone, each ping still unanswered is printed as "<sent> <ms waited so far>
// unanswered <window>", and the probe ends with 0. Exit code 2 for bad arguments, 1
// without a display or when another client redirects the root's windows.
#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

volatile sig_atomic_t gStop = 0;
std::vector<Window> gWindows;
bool gWindowGone = false;
bool gRefused = false; // another client holds the root's SubstructureRedirect

void onSignal(int) {
    gStop = 1;
}

// A window that went away while its request was passed on is no concern of ours.
int onXError(Display*, XErrorEvent* error) {
    if (error->error_code == BadWindow &&
        std::find(gWindows.begin(), gWindows.end(), error->resourceid) != gWindows.end()) {
        gWindowGone = true;
    } else if (error->error_code == BadAccess) {
        gRefused = true;
    }
    return 0;
}

// Does what the X server would have done had no one selected SubstructureRedirect.
void passOn(Display* display, const XEvent& event) {
    switch (event.type) {
    case MapRequest:
        XMapWindow(display, event.xmaprequest.window);
        break;
    case ConfigureRequest: {
        const XConfigureRequestEvent& request = event.xconfigurerequest;
        XWindowChanges changes{
            request.x,     request.y,     request.width, request.height, request.border_width,
            request.above, request.detail};
        XConfigureWindow(display, request.window, static_cast<unsigned>(request.value_mask), &changes);
        break;
    }
    case CirculateRequest:
        if (event.xcirculaterequest.place == PlaceOnTop) {
            XRaiseWindow(display, event.xcirculaterequest.window);
        } else {
            XLowerWindow(display, event.xcirculaterequest.window);
        }
        break;
    default:
        break;
    }
}

int64_t milliseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

struct Sent {
    Window window;
    int64_t monotonic; // for the round trip
    int64_t wall;      // for the report
};

void report(const Sent& sent, int64_t milliseconds, const char* outcome) {
    std::printf("%lld %lld %s %lu\n", static_cast<long long>(sent.wall), static_cast<long long>(milliseconds),
                outcome, sent.window);
}

} // namespace

int main(int argc, char** argv) {
    long interval = 20;
    int option = 0;
    while ((option = getopt(argc, argv, "i:")) != -1) {
        if (option != 'i' || (interval = std::strtol(optarg, nullptr, 10)) <= 0) {
            std::fprintf(stderr, "usage: ping_probe [-i INTERVAL_MS] WINDOW...\n");
            return 2;
        }
    }
    for (int i = optind; i < argc; ++i) {
        char* end = nullptr;
        const Window window = std::strtoul(argv[i], &end, 0);
        if (*end != '\0' || window == 0) {
            std::fprintf(stderr, "ping_probe: bad window %s\n", argv[i]);
            return 2;
        }
        gWindows.push_back(window);
    }
    if (gWindows.empty()) {
        std::fprintf(stderr, "usage: ping_probe [-i INTERVAL_MS] WINDOW...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "ping_probe: no X display\n");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    XSetErrorHandler(onXError);
    setvbuf(stdout, nullptr, _IOLBF, 0);

    const Window root = DefaultRootWindow(display);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    XSelectInput(display, root, SubstructureRedirectMask);
    XSync(display, False);
    if (gRefused) {
        std::fprintf(stderr, "ping_probe: another client (a window manager?) redirects the root's windows\n");
        return 1;
    }

    std::map<long, Sent> pending; // by sequence number, carried in data.l[3]
    long sequence = 0;
    int64_t next = milliseconds(CLOCK_MONOTONIC);
    while (gStop == 0 && !gWindowGone) {
        const int64_t now = milliseconds(CLOCK_MONOTONIC);
        if (now >= next) {
            for (const Window window : gWindows) {
                XEvent event{};
                event.xclient.type = ClientMessage;
                event.xclient.window = window;
                event.xclient.message_type = protocols;
                event.xclient.format = 32;
                event.xclient.data.l[0] = static_cast<long>(ping);
                event.xclient.data.l[1] = CurrentTime;
                event.xclient.data.l[2] = static_cast<long>(window);
                event.xclient.data.l[3] = ++sequence;
                pending[sequence] = {window, now, milliseconds(CLOCK_REALTIME)};
                XSendEvent(display, window, False, NoEventMask, &event);
            }
            XSync(display, False); // a window that has gone shows here
            next += interval;
            if (next <= now) {
                next = now + interval; // the probe itself was held up: no burst to catch up
            }
        }
        while (XPending(display) > 0) {
            XEvent event{};
            XNextEvent(display, &event);
            passOn(display, event);
            if (event.type != ClientMessage || event.xclient.message_type != protocols ||
                static_cast<Atom>(event.xclient.data.l[0]) != ping) {
                continue;
            }
            const auto it = pending.find(event.xclient.data.l[3]);
            if (it == pending.end() || static_cast<Window>(event.xclient.data.l[2]) != it->second.window) {
                continue;
            }
            report(it->second, milliseconds(CLOCK_MONOTONIC) - it->second.monotonic, "answered");
            pending.erase(it);
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        const int64_t wait = next - milliseconds(CLOCK_MONOTONIC);
        if (wait > 0 && ::poll(&fd, 1, static_cast<int>(wait)) < 0 && errno != EINTR) {
            break;
        }
    }
    const int64_t now = milliseconds(CLOCK_MONOTONIC);
    for (const auto& [number, sent] : pending) {
        report(sent, now - sent.monotonic, "unanswered");
    }
    XCloseDisplay(display);
    return 0;
}
