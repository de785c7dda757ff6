#include "AppTarget.h"

#include "AtspiAccessibility.h"
#include "DictationHarness.h"
#include "X11Workspace.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <signal.h>

namespace talvex::apps {

namespace {

constexpr auto startTimeout = std::chrono::seconds(90);

QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// LibreOffice with a profile of its own that skips the tip of the day.
QStringList writerArguments(const QString &folder)
{
    const QString profile = inFolder(folder, QStringLiteral("lo-profile"));
    QDir().mkpath(profile + QStringLiteral("/user"));
    writeFile(profile + QStringLiteral("/user/registrymodifications.xcu"),
              R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Setup/Office"><prop oor:name="ooSetupInstCompleted" oor:op="fuse"><value>true</value></prop></item>
</oor:items>
)");
    return {QStringLiteral("--writer"), QStringLiteral("--norestore"), QStringLiteral("--nologo"),
            QStringLiteral("--nolockcheck"), QStringLiteral("-env:UserInstallation=file://") + profile};
}

// Firefox with a fresh profile that asks nothing at its first start.
QStringList firefoxArguments(const QString &folder, const QString &url)
{
    const QString profile = inFolder(folder, QStringLiteral("ff-profile"));
    QDir().mkpath(profile);
    writeFile(profile + QStringLiteral("/user.js"), R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.enabled", false);
user_pref("browser.tabs.warnOnClose", false);
)");
    return {QStringLiteral("--no-remote"), QStringLiteral("--profile"), profile, url};
}

std::vector<AppSpec> makeMatrix()
{
    const auto none = [](const QString &, const QString &, const QString &) { return QStringList(); };
    const auto terminal = [](QStringList before) {
        return [before](const QString &, const QString &, const QString &script) {
            return before + QStringList{script};
        };
    };
    return {
        {.name = QStringLiteral("Gtk3Editor"),
         .programs = {QStringLiteral("mousepad"), QStringLiteral("gedit")},
         .packages = {QStringLiteral("mousepad")},
         .arguments = none,
         .windowClasses = {QStringLiteral("mousepad"), QStringLiteral("gedit")}},
        {.name = QStringLiteral("Gtk4TextEditor"),
         .programs = {QStringLiteral("gnome-text-editor")},
         .packages = {QStringLiteral("gnome-text-editor")},
         .arguments = [](const QString &, const QString &,
                         const QString &) { return QStringList{QStringLiteral("--standalone")}; },
         .windowClasses = {QStringLiteral("gnome-text-editor")}},
        {.name = QStringLiteral("Qt6Widgets"),
         .programs = {QStringLiteral(TALVEX_DELIVERY_TARGET)},
         .arguments = [](const QString &, const QString &,
                         const QString &) { return QStringList{QStringLiteral("Qt 6 field")}; },
         .windowClasses = {QStringLiteral("delivery_target")}},
        {.name = QStringLiteral("Qt5FeatherPad"),
         .programs = {QStringLiteral("featherpad")},
         .packages = {QStringLiteral("featherpad")},
         .arguments = none,
         .windowClasses = {QStringLiteral("featherpad")}},
        {.name = QStringLiteral("Chromium"),
         .programs = {QStringLiteral("chromium")},
         .packages = {QStringLiteral("chromium")},
         // As root Chromium needs --no-sandbox; the rest keeps it off the (closed) network. Its
         // accessibility must come on the way it does for users: no --force-renderer-accessibility.
         .arguments =
             [](const QString &folder, const QString &url, const QString &) {
                 return QStringList{QStringLiteral("--no-sandbox"),
                                    QStringLiteral("--disable-gpu"),
                                    QStringLiteral("--no-first-run"),
                                    QStringLiteral("--disable-background-networking"),
                                    QStringLiteral("--disable-component-update"),
                                    QStringLiteral("--disable-sync"),
                                    QStringLiteral("--password-store=basic"),
                                    QStringLiteral("--user-data-dir=") +
                                        inFolder(folder, QStringLiteral("chromium")),
                                    url};
             },
         .windowClasses = {QStringLiteral("chromium")},
         .readback = Readback::page,
         .expectedStatus = QStringLiteral("Paste sent; check the field"),
         .note = QStringLiteral(
             "Chromium builds a page's accessibility only for a screen reader it recognises or with "
             "--force-renderer-accessibility; the bus's screen-reader flag and event listeners do not "
             "turn it on, so the caret cannot be read and the paste stays unconfirmed")},
        {.name = QStringLiteral("Firefox"),
         .programs = {QStringLiteral("firefox-esr"), QStringLiteral("firefox")},
         .packages = {QStringLiteral("firefox-esr")},
         .arguments = [](const QString &folder, const QString &url,
                         const QString &) { return firefoxArguments(folder, url); },
         .windowClasses = {QStringLiteral("firefox-esr"), QStringLiteral("firefox"),
                           QStringLiteral("navigator")},
         .readback = Readback::page},
        {.name = QStringLiteral("LibreOfficeWriter"),
         .programs = {QStringLiteral("libreoffice")},
         .packages = {QStringLiteral("libreoffice-writer"), QStringLiteral("libreoffice-gtk3")},
         .arguments = [](const QString &folder, const QString &,
                         const QString &) { return writerArguments(folder); },
         .environment = {QStringLiteral("SAL_USE_VCLPLUGIN=gtk3")},
         .windowClasses = {QStringLiteral("libreoffice-writer"), QStringLiteral("soffice")}},
        {.name = QStringLiteral("VteTerminal"),
         .programs = {QStringLiteral("xfce4-terminal"), QStringLiteral("gnome-terminal")},
         .packages = {QStringLiteral("xfce4-terminal")},
         .arguments = terminal({QStringLiteral("--disable-server"), QStringLiteral("-x")}),
         .windowClasses = {QStringLiteral("xfce4-terminal"), QStringLiteral("gnome-terminal-server")},
         .readback = Readback::terminalLine},
        {.name = QStringLiteral("QTerminal"),
         .programs = {QStringLiteral("qterminal")},
         .packages = {QStringLiteral("qterminal")},
         .arguments = terminal({QStringLiteral("-e")}),
         .windowClasses = {QStringLiteral("qterminal")},
         .readback = Readback::terminalLine,
         .expectedStatus = QStringLiteral("Paste sent; check the field"),
         .note = QStringLiteral("qterminal's screen is a plain widget without text or caret over AT-SPI")},
        {.name = QStringLiteral("XTerm"),
         .programs = {QStringLiteral("xterm")},
         .packages = {QStringLiteral("xterm")},
         .arguments = terminal({QStringLiteral("-e")}),
         .windowClasses = {QStringLiteral("xterm")},
         .readback = Readback::terminalLine,
         .expectedStatus = QStringLiteral("Paste sent; check the field"),
         .note = QStringLiteral(
             "xterm has no accessibility at all; it gets Shift+Insert and the primary selection"),
         .pastesPrimary = true},
    };
}

} // namespace

const std::vector<AppSpec> &matrix()
{
    static const std::vector<AppSpec> apps = makeMatrix();
    return apps;
}

const AppSpec &spec(const QString &name)
{
    for (const AppSpec &app : matrix())
        if (app.name == name)
            return app;
    std::fprintf(stderr, "no application %s in the matrix\n", qPrintable(name));
    std::abort();
}

AppTarget::AppTarget(const AppSpec &spec)
    : m_spec(spec), m_folder(QDir(qEnvironmentVariable("TALVEX_TEST_TMP", QDir::tempPath()))
                                 .filePath(QStringLiteral("app-XXXXXX")))
{
    for (const QString &candidate : spec.programs) {
        const QString found = candidate.startsWith(QLatin1Char('/'))
                                  ? (QFile::exists(candidate) ? candidate : QString())
                                  : QStandardPaths::findExecutable(candidate);
        if (!found.isEmpty()) {
            m_program = found;
            break;
        }
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

AppTarget::~AppTarget()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // A launcher may have handed the window to a process of its own.
    if (m_windowPid > 0 && m_windowPid != m_process.processId())
        ::kill(m_windowPid, SIGKILL);
}

std::optional<QString> AppTarget::missing() const
{
    if (!m_program.isEmpty())
        return std::nullopt;
    return m_spec.programs.join(QStringLiteral(" or ")) +
           QStringLiteral(" is not installed (scripts/setup --apps installs ") +
           m_spec.packages.join(QLatin1Char(' ')) + QStringLiteral(")");
}

bool AppTarget::start(QString *error)
{
    auto fail = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral("\n--- ") + m_spec.name + QStringLiteral(" output:\n") +
                     QString::fromLocal8Bit(m_process.readAll());
        return false;
    };
    if (!m_folder.isValid())
        return fail(QStringLiteral("no work folder"));

    QString url;
    if (m_spec.readback == Readback::page) {
        m_page = std::make_unique<PageServer>();
        if (!m_page->isListening())
            return fail(QStringLiteral("the page server does not listen"));
        url = m_page->url();
    }
    QString script;
    if (m_spec.readback == Readback::terminalLine) {
        // The shell says it is ready, then reads one line into a file once Return is pressed.
        m_output = inFolder(m_folder.path(), QStringLiteral("line.txt"));
        script = inFolder(m_folder.path(), QStringLiteral("read-line.sh"));
        const QByteArray body = "#!/bin/sh\nprintf ready > '" + m_output.toUtf8() +
                                ".ready'\nIFS= read -r line\nprintf '%s' \"$line\" > '" + m_output.toUtf8() +
                                ".part' && mv '" + m_output.toUtf8() + ".part' '" + m_output.toUtf8() + "'\n";
        if (!writeFile(script, body) ||
            !QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return fail(QStringLiteral("cannot write the terminal's script"));
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : m_spec.environment)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(environment);
    m_process.start(m_program, m_spec.arguments(m_folder.path(), url, script));
    if (!m_process.waitForStarted(10000))
        return fail(m_program + QStringLiteral(" did not start"));

    x11::X11Workspace workspace;
    atspi::AtspiAccessibility accessibility;
    auto frontIsOurs = [&] {
        const auto front = workspace.frontmostApplication();
        if (!front)
            return false;
        for (const QString &name : m_spec.windowClasses) {
            if (front->windowClass.compare(name, Qt::CaseInsensitive) == 0 ||
                front->windowInstance.compare(name, Qt::CaseInsensitive) == 0) {
                m_windowPid = front->pid;
                return true;
            }
        }
        return false;
    };
    const bool ready = e2e::waitFor(
        [&] {
            if (!frontIsOurs())
                return false;
            switch (m_spec.readback) {
            case Readback::accessibleText:
                return accessibility.focusedElement(m_windowPid).has_value();
            case Readback::page:
                return m_page->ready();
            case Readback::terminalLine:
                return QFile::exists(m_output + QStringLiteral(".ready"));
            }
            return false;
        },
        startTimeout, std::chrono::milliseconds(100));
    if (!ready)
        return fail(m_spec.name + QStringLiteral(" never had its field focused in the front window"));
    return true;
}

std::optional<QString> AppTarget::accessibleText()
{
    atspi::AtspiAccessibility accessibility;
    const auto field = accessibility.focusedElement(m_windowPid);
    if (!field)
        return std::nullopt;
    if (!m_bus) {
        QDBusMessage ask =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask);
        if (!address.isValid())
            return std::nullopt;
        m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("talvex-apps-a11y"));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        field->busName, field->objectPath, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"));
    call << 0 << -1;
    const QDBusReply<QString> reply = m_bus->call(call, QDBus::Block, 5000);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}

std::optional<QString> AppTarget::arrived(e2e::XTestKeyboard &keys)
{
    switch (m_spec.readback) {

    case Readback::accessibleText:
        return accessibleText();
    case Readback::page: {
        // The page posts on every change; the last post may still be on its way.
        QString text;
        e2e::waitFor([&] { return !(text = m_page->text()).isEmpty(); }, std::chrono::seconds(5));
        return text;
    }
    case Readback::terminalLine: {
        constexpr std::uint32_t returnKey = 0xff0d;
        keys.press(returnKey);
        keys.release(returnKey);
        if (!e2e::waitFor([this] { return QFile::exists(m_output); }, std::chrono::seconds(20)))
            return std::nullopt;
        QFile file(m_output);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(file.readAll());
    }
    }
    return std::nullopt;
}

} // namespace talvex::apps
