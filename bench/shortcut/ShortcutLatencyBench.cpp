// How long a key typed on the X server takes to reach GlobalShortcut's callback: for a hot key
// (key grab) and for a modifier chord (XInput 2 raw events plus the 120 ms chord delay). Keys are
// typed through XTest; the time runs from sending the key to the callback.
#include "SteadyClock.h"
#include "X11EventConnection.h"
#include "X11HotKeyService.h"
#include "X11ModifierWatcher.h"
#include "desktop/GlobalShortcut.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace talvex;
using namespace talvex::x11;

namespace {

constexpr int rounds = 200;

struct Typist {
    XcbConnection connection = connectToDisplay();
    xcb_key_symbols_t *symbols = connection ? xcb_key_symbols_alloc(connection.get()) : nullptr;
    ~Typist()
    {
        if (symbols)
            xcb_key_symbols_free(symbols);
    }
    void send(std::uint8_t type, xcb_keysym_t keysym)
    {
        XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
        xcb_test_fake_input(connection.get(), type, codes.get()[0], 0, XCB_NONE, 0, 0, 0);
        xcb_flush(connection.get());
    }
};

/// Runs the event loop until `done` or 5 s pass; false on time-out.
template <typename Done> bool waitFor(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void report(const char *what, std::vector<double> samples)
{
    if (samples.empty()) {
        std::printf("%-40s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * (samples.size() - 1))] * 1000.0;
    };
    std::printf("%-40s n=%zu  median %.3f ms  p95 %.3f ms  max %.3f ms\n", what, samples.size(), at(0.5),
                at(0.95), at(1.0));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    auto connection = X11EventConnection::open();
    Typist typist;
    if (!connection || !typist.symbols) {
        std::fprintf(stderr, "Needs an X display: run it under scripts/with-desktop\n");
        return 2;
    }
    X11HotKeyService hotKeys(connection);
    X11ModifierWatcher watcher(connection);
    SteadyClock clock;
    GlobalShortcut shortcut(hotKeys, watcher, clock);
    int presses = 0, releases = 0;
    shortcut.setOnEvent([&](bool pressed, double) { ++(pressed ? presses : releases); });

    // Hot key: Ctrl+Shift+Space, from sending the Space press to its press callback.
    if (!shortcut.registerShortcut(Shortcut::defaultShortcut())) {
        std::fprintf(stderr, "Ctrl+Shift+Space could not be registered\n");
        return 1;
    }
    typist.send(XCB_KEY_PRESS, XKB_KEY_Control_L);
    typist.send(XCB_KEY_PRESS, XKB_KEY_Shift_L);
    std::vector<double> hotKey;
    for (int i = 0; i < rounds; ++i) {
        const int before = presses;
        const double sent = SteadyClock::monotonicSeconds();
        typist.send(XCB_KEY_PRESS, XKB_KEY_space);
        if (!waitFor([&] { return presses > before; }))
            break;
        hotKey.push_back(SteadyClock::monotonicSeconds() - sent);
        typist.send(XCB_KEY_RELEASE, XKB_KEY_space);
        waitFor([&] { return releases > before; });
    }
    typist.send(XCB_KEY_RELEASE, XKB_KEY_Shift_L);
    typist.send(XCB_KEY_RELEASE, XKB_KEY_Control_L);
    report("hot key press -> onEvent", hotKey);

    // Chord: Ctrl+Alt held, from sending the Alt press to the delayed press callback.
    if (!shortcut.registerShortcut(Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey))) {
        std::fprintf(stderr, "The Ctrl+Alt chord could not be registered\n");
        return 1;
    }
    std::vector<double> chord;
    for (int i = 0; i < rounds / 4; ++i) {
        const int before = presses;
        typist.send(XCB_KEY_PRESS, XKB_KEY_Control_L);
        const double sent = SteadyClock::monotonicSeconds();
        typist.send(XCB_KEY_PRESS, XKB_KEY_Alt_L);
        if (!waitFor([&] { return presses > before; }))
            break;
        chord.push_back(SteadyClock::monotonicSeconds() - sent);
        typist.send(XCB_KEY_RELEASE, XKB_KEY_Alt_L);
        typist.send(XCB_KEY_RELEASE, XKB_KEY_Control_L);
        waitFor([&] { return releases > before; });
    }
    report("chord key-down -> onEvent (incl. 120 ms)", chord);
    return 0;
}
