#include "DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringTokenizer>

namespace talvex::xdg {

namespace {

QStringList dataFolders()
{
    QStringList folders;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    folders << home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << dir;
    return folders;
}

} // namespace

DesktopEntries::DesktopEntries(std::optional<QStringList> applicationFolders) : m_folders(std::move(applicationFolders))
{
    reload();
}

QStringList DesktopEntries::standardFolders()
{
    QStringList folders;
    for (const QString &data : dataFolders())
        folders << data + QStringLiteral("/applications");
    return folders;
}

void DesktopEntries::reload()
{
    m_entries.clear();
    m_byId.clear();
    for (const QString &folder : m_folders.value_or(standardFolders())) {
        const QDir root(folder);
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = root.relativeFilePath(path);
            id.chop(8); // ".desktop"
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (m_byId.contains(id))
                continue; // an earlier folder overrides this one, hidden or not
            auto entry = parse(path, id);
            m_byId.insert(id, entry ? static_cast<qsizetype>(m_entries.size()) : -1);
            if (entry)
                m_entries.push_back(std::move(*entry));
        }
    }
}

std::optional<DesktopEntries::Entry> DesktopEntries::parse(const QString &path, const QString &id)
{
    // Any program can drop files into the applications folders: a pipe there would block the read,
    // and a huge file would be read whole, so only plain files of a sane size are looked at.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maximumEntryBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseContents(file.read(maximumEntryBytes), id);
}

std::optional<DesktopEntries::Entry> DesktopEntries::parseContents(const QByteArray &contents, const QString &id)
{
    const QLocale locale;
    const QString language = locale.name().section(QLatin1Char('_'), 0, 0);
    const QString fullKey = QStringLiteral("Name[%1]").arg(locale.name());
    const QString languageKey = QStringLiteral("Name[%1]").arg(language);

    Entry entry{id, {}, {}, {}, false};
    QString localized;
    QString type;
    bool inMainGroup = false;
    bool hidden = false;
    const QString text = QString::fromUtf8(contents);
    for (QStringView rawLine : QStringTokenizer(text, QLatin1Char('\n'))) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QStringView key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed().toString();
        if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == fullKey || (key == languageKey && localized.isEmpty()))
            localized = value;
        else if (key == QLatin1String("StartupWMClass"))
            entry.startupWMClass = value;
        else if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("Hidden"))
            hidden = value == QLatin1String("true");
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("NoDisplay"))
            entry.noDisplay = value == QLatin1String("true");
    }
    if (hidden || type != QLatin1String("Application") || entry.name.isEmpty())
        return std::nullopt;
    if (!localized.isEmpty())
        entry.name = localized;
    return entry;
}

std::optional<DesktopEntries::Entry> DesktopEntries::find(const QString &applicationId, const QString &windowClass,
                                                          const QString &windowInstance) const
{
    if (!applicationId.isEmpty()) {
        const qsizetype index = m_byId.value(applicationId, -1);
        if (index >= 0)
            return m_entries[static_cast<std::size_t>(index)];
    }
    for (const QString &name : {windowClass, windowInstance}) {
        if (name.isEmpty())
            continue;
        for (const Entry &entry : m_entries)
            if (entry.startupWMClass == name)
                return entry;
    }
    for (const QString &name : {windowClass, windowInstance}) {
        if (name.isEmpty())
            continue;
        for (const Entry &entry : m_entries)
            if (entry.id.compare(name, Qt::CaseInsensitive) == 0)
                return entry;
    }
    return std::nullopt;
}

} // namespace talvex::xdg
