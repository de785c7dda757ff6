#pragma once

// The applications of the paste matrix: how each is started in the private desktop, how to tell
// that its field has focus, and how to read back what arrived in it. Shared by the matrix test and
// the key-holding benchmark.

#include "Accessibility.h"
#include "PageServer.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvex::e2e {
class XTestKeyboard;
}

namespace talvex::apps {

/// Where the test reads what was pasted.
enum class Readback {
    accessibleText, ///< the focused field's text over AT-SPI
    page,           ///< the browser page posts its textarea to the test's loopback server
    terminalLine,   ///< the terminal's shell reads one line into a file once Return is pressed
};

/// One application of the matrix.
struct AppSpec {
    QString name{};         ///< test name, e.g. "Gtk4TextEditor"
    QStringList programs{}; ///< candidates; the first one installed runs
    QStringList packages{}; ///< what installs it, for the skip message
    /// The arguments for the chosen program, given the case's work folder and what it may need.
    std::function<QStringList(const QString &folder, const QString &pageUrl, const QString &script)>
        arguments{};
    QStringList environment{};   ///< extra NAME=value pairs
    QStringList windowClasses{}; ///< WM_CLASS class or instance of its window (case-insensitive)
    Readback readback = Readback::accessibleText;
    /// The status a dictation into it must end with, and why when it is not "Paste confirmed".
    QString expectedStatus = QStringLiteral("Paste confirmed");
    QString note{};
    /// It pastes the primary selection (Shift+Insert), which then holds the text like the clipboard.
    bool pastesPrimary = false;
};

/// Every application of the matrix, in a fixed order.
const std::vector<AppSpec> &matrix();
/// The one named `name`; aborts the test program when there is none (a typo in a test).
const AppSpec &spec(const QString &name);

/// One running application of the matrix with its field focused.
class AppTarget final {
  public:
    explicit AppTarget(const AppSpec &spec);
    ~AppTarget();
    AppTarget(const AppTarget &) = delete;
    AppTarget &operator=(const AppTarget &) = delete;

    /// Why it cannot run here ("... is not installed"), or absent when it can.
    std::optional<QString> missing() const;
    /// Starts it and waits until its window is in front and its field can take text. On failure,
    /// `error` says what happened, with the application's output.
    bool start(QString *error);
    /// The process that owns the front window (a launcher may have handed over to another).
    std::int32_t windowPid() const { return m_windowPid; }
    /// What arrived in the field; for a terminal, Return is typed first. Absent when it cannot be
    /// read.
    std::optional<QString> arrived(e2e::XTestKeyboard &keys);

  private:
    std::optional<QString> accessibleText();

    const AppSpec &m_spec;
    QString m_program;
    QTemporaryDir m_folder;
    std::unique_ptr<PageServer> m_page;
    QProcess m_process;
    std::int32_t m_windowPid = 0;
    std::optional<QDBusConnection> m_bus;
    QString m_output; ///< the terminal's line file
};

} // namespace talvex::apps
