#pragma once

// The whole application dictating into a real program, for e2e tests and the latency benchmark.
// Runs inside scripts/with-desktop: the talvex executable with a library folder of its own, a
// zenity entry as the target, keys typed through XTest from one connection, and flite speech played
// into the null sink whose monitor talvex records. Every wait ends on an event or a log line; the
// timeouts only guard against hangs.

#include "AtspiAccessibility.h"
#include "X11Workspace.h"
#include "Xcb.h"
#include "store/Library.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>
#include <xcb/xcb_keysyms.h>

namespace talvex::e2e {

/// Seconds on CLOCK_MONOTONIC, the clock of talvex's log timestamps.
double monotonicNow();

/// One line talvex logged: its time (CLOCK_MONOTONIC seconds), category and message.
struct LogLine {
    double time = 0;
    QString category;
    QString message;
};

/// Keys typed through XTest, all from this one connection (lock state does not carry across
/// connections). Whatever is still held is released when it goes.
class XTestKeyboard final {
  public:
    XTestKeyboard();
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard &) = delete;
    XTestKeyboard &operator=(const XTestKeyboard &) = delete;

    bool isReady() const { return m_connection && m_symbols; }
    /// Each returns once the server has handled the event.
    void press(std::uint32_t keysym);
    void release(std::uint32_t keysym);
    void releaseAll();

    /// The keycodes the server has down right now (XQueryKeymap), for "no key left pressed".
    static std::vector<int> keysDown();

  private:
    void send(std::uint8_t type, std::uint32_t keysym);

    x11::XcbConnection m_connection;
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t *)> m_symbols;
    std::set<std::uint32_t> m_held;
};

/// One running talvex with a fresh library folder ($XDG_DATA_HOME) of its own.
class TalvexProcess final {
  public:
    struct Options {
        /// Written as the library file before the start; absent = no file (first run).
        std::optional<Library> library;
        /// Extra environment, e.g. TALVEX_LLM_URL.
        QStringList environment;
        /// Also wait until talvex has found its language model available.
        bool awaitLanguageModel = false;
        /// The talvex to start; empty = the one of this build tree.
        QString executable = {};
        /// Whether onboarding was finished before: by default it was, so no onboarding window
        /// opens over the tests' targets; a first run removes the mark; asStored leaves it alone.
        enum class Setup { completed, firstRun, asStored };
        Setup setup = Setup::completed;
    };

    TalvexProcess();
    /// Ends talvex with SIGTERM (SIGKILL when it does not end).
    ~TalvexProcess();

    /// Starts talvex and waits until its shortcut is registered and speech is ready. On failure,
    /// `error` says what happened, with talvex's log.
    bool start(const Options &options, QString *error);
    /// Waits until the talvex started at log index `from` (a start, or a relaunch in place) has
    /// registered its shortcut and has speech ready.
    bool waitUntilReady(std::size_t from, QString *error);
    /// SIGTERM, then waits for the end. True when it ended by itself with status 0.
    bool stop();
    /// Waits for the end without asking for it. True when it ended by itself with status 0.
    bool waitForExit();

    qint64 pid() const { return m_process.processId(); }
    /// How the ended talvex ended: its exit code, and whether it ended by itself (not by a signal).
    int exitCode() const { return m_process.exitCode(); }
    bool exitedNormally() const { return m_process.exitStatus() == QProcess::NormalExit; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString libraryPath() const;
    /// The library file as talvex wrote it; absent when missing or not decodable.
    std::optional<Library> readLibrary() const;
    /// The library once its history holds `count` transcripts: talvex writes it just after it
    /// reports the delivery. Absent when it does not within ten seconds.
    std::optional<Library> waitForHistory(qsizetype count) const;

    /// Every line logged so far, in order.
    const std::vector<LogLine> &lines();
    /// The first line from index `from` on whose category ends with `category` and whose message
    /// starts with `prefix`; waits for it up to `timeout`. Absent on timeout or when talvex ended.
    std::optional<LogLine> waitForLine(const QString &category, const QString &prefix, std::size_t from,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(30));
    /// All of talvex's output so far, for failure messages.
    QString log() const { return m_log; }

  private:
    void readOutput();

    QTemporaryDir m_dataHome;
    QProcess m_process;
    QByteArray m_partial;
    QString m_log;
    std::vector<LogLine> m_lines;
};

/// A zenity entry dialog: a real GTK program with one text field that has focus.
class EntryTarget final {
  public:
    ~EntryTarget();

    /// Starts zenity and waits until its field has focus in the front window.
    bool start(QString *error);
    /// The field's text now, read over AT-SPI; absent when it cannot be read.
    std::optional<QString> text();
    /// Presses Return and returns what zenity printed (the field's text), or absent on failure.
    std::optional<QString> finish(XTestKeyboard &keys);

    qint64 pid() const { return m_process.processId(); }

  private:
    std::optional<AccessibleElement> m_field;
    std::optional<QDBusConnection> m_bus;
    QProcess m_process;
};

/// A WAV file of `sentence` spoken by flite's kal16 voice (made once per sentence).
std::optional<QString> speechFile(const QString &sentence);
/// Plays `wav` into the private desktop's null sink and returns when it has played to the end.
bool play(const QString &wav);
/// A loopback TCP port that nothing listens on.
quint16 closedLoopbackPort();

/// A chat-completions server on the loopback interface that answers at once: it lists one model
/// and answers every completion with `rewrite` applied to the dictation in the prompt (the text
/// after its "Dictation:" line). Serves from this thread's event loop.
/// One whole HTTP request as a loopback test server receives it.
struct HttpRequest {
    QByteArray line; ///< "POST /v1/chat/completions HTTP/1.1"
    QByteArray body;
};

/// Makes `server` listen on a free loopback port and calls `serve` with each whole request (headers,
/// then as many body bytes as Content-Length says), on this thread's event loop. `serve` writes the
/// answer to the socket.
void serveOnLoopback(QTcpServer &server, std::function<void(QTcpSocket *, const HttpRequest &)> serve);

class LoopbackModelServer final {
  public:
    static constexpr auto modelName = "e2e-model";

    explicit LoopbackModelServer(std::function<QString(const QString &)> rewrite);
    ~LoopbackModelServer();

    bool isListening() const;
    /// The value for TALVEX_LLM_URL.
    QString url() const;
    /// Completions answered so far.
    int completions() const { return m_completions; }
    /// The next `count` completions die mid-answer: half the body is sent, then the connection closes.
    void cutAnswers(int count) { m_cutAnswers = count; }

  private:
    void serve(QTcpSocket *socket, const HttpRequest &request);

    std::function<QString(const QString &)> m_rewrite;
    std::unique_ptr<QTcpServer> m_server;
    int m_completions = 0;
    int m_cutAnswers = 0;
};
/// Runs the event loop until `condition` holds, checking it every `interval`; false on timeout.
bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds interval = std::chrono::milliseconds(10));

} // namespace talvex::e2e

namespace talvex::e2e {

/// How the shortcut is used.
enum class Gesture {
    hold,     ///< held while the speech plays, released after it
    tapTwice, ///< tapped to start hands-free dictation, tapped again after the speech
};

/// When the stop happened and what talvex logged on the way.
struct DictationStop {
    double keyReleased = 0;    ///< CLOCK_MONOTONIC seconds just before the stopping release was sent
    std::size_t firstLine = 0; ///< log index from which this dictation's lines start
};

/// Starts a dictation with `shortcut` (keysyms, pressed in order and released in reverse), waits
/// until talvex records, plays `wav` to its end and stops the dictation. Returns once the releases
/// have reached the server; delivery then runs in talvex.
std::optional<DictationStop> dictate(TalvexProcess &talvex, XTestKeyboard &keys,
                                     const std::vector<std::uint32_t> &shortcut, Gesture gesture,
                                     const QString &wav, QString *error);

} // namespace talvex::e2e
