#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace talvex {

/// Word-list files (plain text, CSV, TSV) imported into the custom vocabulary.
namespace WordList {

/// Everything that can go wrong with an import. `description()` is the status message.
class ImportError final {
public:
    enum class Kind { overLimit, empty, invalidQuotes, tooLarge };

    /// An `empty` error, so callers can declare one before passing it to be filled.
    ImportError() : ImportError(Kind::empty, 0, 0) {}

    static ImportError overLimit(qsizetype newEntries, qsizetype available)
    {
        return ImportError(Kind::overLimit, newEntries, available);
    }
    static ImportError empty() { return ImportError(Kind::empty, 0, 0); }
    static ImportError invalidQuotes() { return ImportError(Kind::invalidQuotes, 0, 0); }
    /// A file refused by its size before it is read; carries the size in bytes.
    static ImportError tooLarge(qint64 bytes) { return ImportError(Kind::tooLarge, bytes, 0); }

    Kind kind() const { return m_kind; }
    /// overLimit only: how many new entries the file would add, and how many more fit.
    /// tooLarge: newEntries() is the file's size in bytes.
    qsizetype newEntries() const { return m_newEntries; }
    qsizetype available() const { return m_available; }

    QString description() const;

    friend bool operator==(const ImportError &, const ImportError &) = default;

private:
    ImportError(Kind kind, qsizetype newEntries, qsizetype available)
        : m_kind(kind), m_newEntries(newEntries), m_available(available)
    {
    }

    Kind m_kind;
    qsizetype m_newEntries;
    qsizetype m_available;
};

/// Word-list files larger than this are refused before they are read: the vocabulary holds 100
/// entries, so a file this size is not a word list, and reading it would only cost memory.
constexpr qint64 maximumFileBytes = qint64{1} << 20;

/// The entries of a word-list file's text, in file order, repeats kept. Entries are separated by
/// line breaks, commas, semicolons and tabs; double quotes enclose an entry that holds separators.
/// Scans user-perceived characters. Fails (returns nothing, fills `error`) only with invalidQuotes.
std::optional<QStringList> parse(const QString &text, ImportError *error = nullptr);

/// The text of a word-list file: UTF-8 when the bytes are valid UTF-8, else the encoding named by a
/// byte-order mark, else the encoding ICU detects. Fails with a message for binary or undecodable data.
std::optional<QString> decodeText(const QByteArray &bytes, QString *error = nullptr);

} // namespace WordList

} // namespace talvex
