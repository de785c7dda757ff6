#pragma once

#include "SwayBindings.h"
#include "SwayConfigBindings.h"
#include "SwayIpc.h"
#include "XkbKeymap.h"

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <vector>

namespace talvex::wayland {

/// Talvex's key bindings in a running sway: added and removed over the IPC socket, each a no-op
/// command carrying our marker, read back from sway's binding events. A combination the user
/// configured is refused, never replaced. The live bindings are written down in a state file, so a
/// Talvex that was killed has its leftovers removed by the next one; they are also added again
/// after sway reloads its configuration, which drops every binding made at run time. The hot-key
/// service and the chord watch share one session. Main thread only.
class SwaySession final : public QObject {
    Q_OBJECT
  public:
    /// One binding to add and the marker its events carry.
    struct Entry {
        SwayBinding binding;
        SwayMarker marker;
    };
    enum class BindResult { bound, taken, failed };
    /// Receives every event of our own bindings, with the time it arrived (CLOCK_MONOTONIC seconds).
    using Listener = std::function<void(const SwayMarker &marker, double time)>;

    /// Connects to sway at `socketPath` and removes what an earlier Talvex left behind (as recorded
    /// in `stateFile`). `keymap` is the user's layout, to see which keys configured symbols name.
    /// Null when sway does not answer.
    static std::unique_ptr<SwaySession> open(const XkbKeymap &keymap,
                                             const QString &socketPath = SwayIpc::socketPath(),
                                             const QString &stateFile = defaultStateFile());
    /// Removes every binding still live.
    ~SwaySession() override;

    /// $XDG_RUNTIME_DIR/talvex-sway-bindings.json: it lives as long as the login session.
    static QString defaultStateFile();

    /// Adds all of `entries`, or none of them: `taken` when the user configured one of the
    /// combinations, `failed` when sway refused one or did not answer.
    BindResult bind(const std::vector<Entry> &entries);
    /// Removes the bindings whose markers are `markers` (press and release twins alike).
    void unbind(const std::vector<SwayMarker> &markers);
    /// Whether every binding with one of `markers` is still live (a reload can drop them).
    bool isLive(const std::vector<SwayMarker> &markers) const;

    void setListener(SwayMarker::Kind kind, Listener listener);
    /// Called with the markers of bindings that a configuration reload took from us.
    void setOnLost(std::function<void(const std::vector<SwayMarker> &)> onLost);

    /// The marker a binding of this process carries.
    static SwayMarker marker(SwayMarker::Kind kind, std::uint32_t signature, std::uint32_t id, bool press);

    /// A request on the command connection (the tree, the outputs).
    std::optional<QJsonDocument> request(SwayIpc::Type type, const QByteArray &payload = {});
    const XkbKeymap &keymap() const { return m_keymap; }

  private:
    SwaySession(std::unique_ptr<SwayIpc> commands, std::unique_ptr<SwayIpc> events, const XkbKeymap &keymap,
                QString socketPath, QString stateFile);
    void readConfiguredBindings();
    bool isConfigured(const SwayBinding &binding) const;
    void clearStale();
    void writeState() const;
    void readEvents();
    void restoreAfterReload();

    std::unique_ptr<SwayIpc> m_commands;
    std::unique_ptr<SwayIpc> m_events;
    std::unique_ptr<QSocketNotifier> m_notifier;
    XkbKeymap m_keymap;
    QString m_socketPath;
    QString m_stateFile;
    std::vector<ConfiguredBinding> m_configured;
    std::vector<Entry> m_live;
    Listener m_hotKeyListener;
    Listener m_chordListener;
    std::function<void(const std::vector<SwayMarker> &)> m_onLost;
};

} // namespace talvex::wayland
