#include "XdgLoginItems.h"

#include "platform/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace talvex::xdg {

namespace {

// Characters that make an Exec argument need quotes.
const QString reservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

// Desktop entry booleans are "true" and "false"; older entries also wrote 1 and 0.
std::optional<bool> boolean(const QByteArray &value)
{
    const QByteArray v = value.trimmed().toLower();
    if (v == "true" || v == "1")
        return true;
    if (v == "false" || v == "0")
        return false;
    return std::nullopt;
}

// The general escapes of a desktop entry string value.
QString escapeString(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QLatin1String("\\r");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

XdgLoginItems::XdgLoginItems(QString folder, std::optional<QString> executable)
    : m_folder(std::move(folder)), m_executable(std::move(executable))
{
}

QString XdgLoginItems::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart"));
}

QString XdgLoginItems::entryPath() const
{
    return QDir(m_folder).filePath(QLatin1String(entryName));
}

LoginItemStatus XdgLoginItems::status() const
{
    if (!m_executable)
        return LoginItemStatus::notFound;
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return LoginItemStatus::notRegistered;
    return statusOf(file.readAll());
}

bool XdgLoginItems::registerItem(QString *error)
{
    if (!m_executable) {
        if (error)
            *error = QStringLiteral("a development build run from its build folder has no autostart entry");
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("the folder %1 could not be created").arg(m_folder);
        return false;
    }
    // Written whole or not at all: a session that reads a half-written entry would start nothing.
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(entryText(*m_executable)) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1 could not be written: %2").arg(entryPath(), file.errorString());
        return false;
    }
    qCInfo(lcApp).noquote() << "Autostart entry written:" << entryPath();
    return true;
}

bool XdgLoginItems::unregisterItem(QString *error)
{
    if (!m_executable) {
        if (error)
            *error = QStringLiteral("a development build run from its build folder has no autostart entry");
        return false;
    }
    QFile file(entryPath());
    if (!QFileInfo(entryPath()).isSymLink() && !file.exists())
        return true;
    if (!file.remove()) {
        if (error)
            *error = QStringLiteral("%1 could not be removed: %2").arg(entryPath(), file.errorString());
        return false;
    }
    qCInfo(lcApp).noquote() << "Autostart entry removed:" << entryPath();
    return true;
}

QByteArray XdgLoginItems::entryText(const QString &executable)
{
    const QString exec =
        escapeString(execArgument(executable)) + QLatin1Char(' ') + QLatin1String(autostartArgument);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Talvex\n"
                                        "Comment=Private dictation for Linux. Speak wherever you type, with "
                                        "transcription on your device.\n"
                                        "Exec=%1\n"
                                        "Icon=com.quindlark.Talvex\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(exec);
    return text.toUtf8();
}

QString XdgLoginItems::execArgument(const QString &argument)
{
    QString quoted = argument;
    // Field codes start with '%'; a literal one is doubled, quoted or not.
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    const bool needsQuotes =
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return reservedCharacters.contains(c); });
    if (!needsQuotes)
        return quoted;
    QString inside;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            inside += QLatin1Char('\\');
        inside += c;
    }
    return QLatin1Char('"') + inside + QLatin1Char('"');
}

LoginItemStatus XdgLoginItems::statusOf(const QByteArray &entry)
{
    bool inMainGroup = false;
    bool sawMainGroup = false;
    for (const QByteArray &rawLine : entry.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const std::optional<bool> value = boolean(line.mid(equals + 1));
        if (key == "Hidden" && value == true)
            return LoginItemStatus::notRegistered;
        if (key == "X-GNOME-Autostart-enabled" && value == false)
            return LoginItemStatus::notRegistered;
    }
    // A file that is not a desktop entry starts nothing.
    return sawMainGroup ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
}

} // namespace talvex::xdg
