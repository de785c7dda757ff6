#include "WordList.h"

#include "UnicodeText.h"

#include <QStringDecoder>

#include <unicode/brkiter.h>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/unistr.h>

#include <memory>

namespace talvex::WordList {

namespace {

using UnicodeText::isLineBreak;

enum class QuoteState { unquoted, inQuotes, afterQuotes };

char32_t firstCodePoint(const QChar *units, qsizetype length)
{
    if (length >= 2 && units[0].isHighSurrogate() && units[1].isLowSurrogate())
        return QChar::surrogateToUcs4(units[0], units[1]);
    return units[0].unicode();
}

// Walks the extended grapheme clusters of a text. Two ASCII units other than CR LF are always
// separate clusters, so plain ASCII text never reaches the break iterator.
class Clusters final {
public:
    explicit Clusters(const QString &text)
        : m_text(text), m_alias(false, reinterpret_cast<const UChar *>(text.utf16()),
                                static_cast<int32_t>(text.size()))
    {
    }

    /// End of the cluster that starts at `start`.
    qsizetype next(qsizetype start)
    {
        const qsizetype size = m_text.size();
        const char16_t unit = m_text.at(start).unicode();
        if (start + 1 == size)
            return size;
        const char16_t following = m_text.at(start + 1).unicode();
        if (unit < 0x80 && following < 0x80 && !(unit == u'\r' && following == u'\n'))
            return start + 1;
        if (unit == u'\r' && following == u'\n')
            return start + 2;
        if (!m_iterator) {
            m_iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), m_status));
            if (U_FAILURE(m_status) || !m_iterator) {
                // Without ICU's data, fall back to code points.
                m_iterator.reset();
                return QChar::isHighSurrogate(unit) && QChar::isLowSurrogate(following) ? start + 2 : start + 1;
            }
            m_iterator->setText(m_alias);
        }
        const int32_t end = m_iterator->following(static_cast<int32_t>(start));
        return end == icu::BreakIterator::DONE ? size : end;
    }

private:
    const QString &m_text;
    icu::UnicodeString m_alias;
    UErrorCode m_status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> m_iterator;
};

class Parser final {
public:
    explicit Parser(QStringList &entries) : m_entries(entries) {}

    void append(const QChar *units, qsizetype length)
    {
        m_field.append(units, length);
        if (!m_fieldHasContent && !UnicodeText::isWhiteSpace(firstCodePoint(units, length)))
            m_fieldHasContent = true;
    }

    void startQuote()
    {
        m_field.clear();
        m_fieldHasContent = false;
        m_state = QuoteState::inQuotes;
    }

    void finishField()
    {
        QString entry;
        for (const QString &piece : UnicodeText::splitLines(m_field)) {
            const QString trimmedPiece = UnicodeText::trimmed(piece, UnicodeText::isSpaceOrTab);
            if (trimmedPiece.isEmpty())
                continue;
            if (!entry.isEmpty())
                entry += QLatin1Char(' ');
            entry += trimmedPiece;
        }
        if (!entry.isEmpty())
            m_entries.append(entry);
        m_field.clear();
        m_fieldHasContent = false;
        m_state = QuoteState::unquoted;
    }

    QuoteState m_state = QuoteState::unquoted;
    bool m_fieldHasContent = false;

private:
    QStringList &m_entries;
    QString m_field;
};

bool isSingle(const QChar *units, qsizetype length, char16_t c)
{
    return length == 1 && units[0].unicode() == c;
}

} // namespace

QString ImportError::description() const
{
    switch (m_kind) {
    case Kind::overLimit:
        return QStringLiteral("This file has %1 new entries, and %2 will fit. Shorten the list or remove entries "
                              "from your vocabulary.")
            .arg(m_newEntries)
            .arg(m_available);
    case Kind::empty:
        return QStringLiteral("This file doesn\u2019t contain any words or phrases.");
    case Kind::invalidQuotes:
        return QStringLiteral("Check the quotation marks in the word list and try again.");
    case Kind::tooLarge:
        return QStringLiteral("This file is too large to be a word list (%1 KB; at most %2 KB). Shorten the list "
                              "and try again.")
            .arg((m_newEntries + 1023) / 1024)
            .arg(maximumFileBytes / 1024);
    }
    return QString();
}

std::optional<QStringList> parse(const QString &text, ImportError *error)
{
    QStringList entries;
    Parser parser(entries);
    Clusters clusters(text);
    const QChar *units = text.constData();
    const qsizetype size = text.size();

    qsizetype position = 0;
    if (size > 0 && units[0].unicode() == 0xFEFF)
        position = 1;

    while (position < size) {
        const qsizetype end = clusters.next(position);
        const QChar *c = units + position;
        const qsizetype length = end - position;
        position = end;

        const bool isQuote = isSingle(c, length, u'"');
        if (parser.m_state == QuoteState::inQuotes) {
            if (isQuote) {
                if (position < size && clusters.next(position) == position + 1 && units[position] == u'"') {
                    parser.append(c, 1);
                    position += 1;
                } else {
                    parser.m_state = QuoteState::afterQuotes;
                }
            } else {
                parser.append(c, length);
            }
            continue;
        }

        const bool isSeparator = isLineBreak(firstCodePoint(c, length)) || isSingle(c, length, u',') ||
                                 isSingle(c, length, u';') || isSingle(c, length, u'\t');
        if (isSeparator) {
            parser.finishField();
        } else if (parser.m_state == QuoteState::afterQuotes) {
            if (!UnicodeText::isWhiteSpace(firstCodePoint(c, length))) {
                if (error)
                    *error = ImportError::invalidQuotes();
                return std::nullopt;
            }
        } else if (isQuote && !parser.m_fieldHasContent) {
            parser.startQuote();
        } else {
            parser.append(c, length);
        }
    }

    if (parser.m_state == QuoteState::inQuotes) {
        if (error)
            *error = ImportError::invalidQuotes();
        return std::nullopt;
    }
    parser.finishField();
    return entries;
}

namespace {

struct DetectorDeleter {
    void operator()(UCharsetDetector *detector) const { ucsdet_close(detector); }
};
struct ConverterDeleter {
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};

QString cannotDetermineEncoding()
{
    return QStringLiteral("The file couldn\u2019t be opened because the text encoding of its contents can\u2019t be "
                          "determined.");
}

std::optional<QString> convertWith(const char *charset, const QByteArray &bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterDeleter> converter(ucnv_open(charset, &status));
    if (U_FAILURE(status))
        return std::nullopt;
    // Malformed input is an error, not a silent substitution.
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    QString result;
    result.resize(bytes.size() * 2 + 16);
    const char *source = bytes.constData();
    UChar *target = reinterpret_cast<UChar *>(result.data());
    ucnv_toUnicode(converter.get(), &target, target + result.size(), &source, source + bytes.size(), nullptr,
                   true, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    result.truncate(target - reinterpret_cast<UChar *>(result.data()));
    return result;
}

} // namespace

std::optional<QString> decodeText(const QByteArray &bytes, QString *error)
{
    auto fail = [&](const QString &message) -> std::optional<QString> {
        if (error)
            *error = message;
        return std::nullopt;
    };

    // NUL bytes mean UTF-16/32 or binary data: never accept those as UTF-8 text.
    if (!bytes.contains('\0')) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }

    const char *charset = nullptr;
    const auto starts = [&](const char *bom, int length) {
        return bytes.size() >= length && std::equal(bom, bom + length, bytes.constData());
    };
    if (starts("\xFF\xFE\x00\x00", 4))
        charset = "UTF-32LE";
    else if (starts("\x00\x00\xFE\xFF", 4))
        charset = "UTF-32BE";
    else if (starts("\xFF\xFE", 2))
        charset = "UTF-16LE";
    else if (starts("\xFE\xFF", 2))
        charset = "UTF-16BE";

    std::optional<QString> text;
    if (charset) {
        text = convertWith(charset, bytes);
    } else {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCharsetDetector, DetectorDeleter> detector(ucsdet_open(&status));
        if (U_SUCCESS(status))
            ucsdet_setText(detector.get(), bytes.constData(), static_cast<int32_t>(bytes.size()), &status);
        const UCharsetMatch *match = U_SUCCESS(status) ? ucsdet_detect(detector.get(), &status) : nullptr;
        const char *name = match && U_SUCCESS(status) ? ucsdet_getName(match, &status) : nullptr;
        if (name && U_SUCCESS(status))
            text = convertWith(name, bytes);
    }
    if (!text)
        return fail(cannotDetermineEncoding());
    if (!text->isEmpty() && text->front() == QChar(0xFEFF))
        text->remove(0, 1);
    if (text->contains(QChar(0)))
        return fail(QStringLiteral("The file couldn\u2019t be opened because it isn\u2019t a text file."));
    return text;
}

} // namespace talvex::WordList
