#pragma once

#include <QString>
#include <QStringList>

namespace talvex::UnicodeText {

/// LF, VT, FF, CR, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
bool isLineBreak(char32_t c);
/// Space separators (Zs) and the tab.
bool isSpaceOrTab(char32_t c);
/// Separators (Zs, Zl, Zp), tab, LF, VT, FF, CR and NEL.
bool isWhitespaceOrNewline(char32_t c);
/// The Unicode White_Space property.
bool isWhiteSpace(char32_t c);

/// `text` without the code points at both ends for which `predicate` holds.
QString trimmed(const QString &text, bool (*predicate)(char32_t));

/// The pieces between line breaks; empty pieces are dropped (so CR LF counts as one break).
QStringList splitLines(const QString &text);

/// Full Unicode case folding with the default (locale-independent) rules: "STRASSE" and "straße"
/// give the same key; accents and widths are kept.
QString foldCase(const QString &text);

} // namespace talvex::UnicodeText
