#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace talvex::xdg {

/// The installed desktop entries (applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS),
/// used to name a window's program by its entry ID and Name.
class DesktopEntries final {
public:
    struct Entry {
        QString id;   ///< file name relative to its applications folder, '/' as '-', no ".desktop"
        QString name; ///< Name, localized when the entry has a translation for the current locale
        QString startupWMClass;
        QString icon;           ///< Icon: a theme icon name or an absolute path; may be empty
        bool noDisplay = false; ///< NoDisplay=true: a real program, but not for menus and choosers
    };

    /// Reads the entries now from the standard folders, or from `applicationFolders` when given
    /// (most important first).
    explicit DesktopEntries(std::optional<QStringList> applicationFolders = std::nullopt);

    /// The applications folders in precedence order.
    static QStringList standardFolders();

    /// The entry of a window's program: its toolkit application ID when that is an entry, else the
    /// entry whose StartupWMClass is the window class (or instance), else the entry whose ID equals
    /// the class or instance ignoring case. Absent when none matches.
    std::optional<Entry> find(const QString &applicationId, const QString &windowClass,
                              const QString &windowInstance) const;

    /// Reads the folders again (entries installed since).
    void reload();

    /// Every application entry read, the overriding one for each ID, in reading order.
    const std::vector<Entry> &entries() const { return m_entries; }

    /// Entry files larger than this are skipped unread; real ones are a few kilobytes.
    static constexpr qint64 maximumEntryBytes = qint64{1} << 20;

    /// One entry file, or absent when it is not a visible application entry (or not a plain file
    /// of at most maximumEntryBytes).
    static std::optional<Entry> parse(const QString &path, const QString &id);
    /// The same from the file's bytes.
    static std::optional<Entry> parseContents(const QByteArray &contents, const QString &id);

private:
    std::optional<QStringList> m_folders;
    std::vector<Entry> m_entries;
    QHash<QString, qsizetype> m_byId;
};

} // namespace talvex::xdg
