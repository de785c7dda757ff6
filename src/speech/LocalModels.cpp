#include "LocalModels.h"

#include "TalvexError.h"

#include <QTextBoundaryFinder>
#include <array>
#include <unicode/uchar.h>

namespace talvex::LocalModels {

namespace {

bool isWhiteSpace(char32_t codePoint)
{
    return u_hasBinaryProperty(static_cast<UChar32>(codePoint), UCHAR_WHITE_SPACE);
}

// A user-perceived character is whitespace when its first scalar is.
bool startsWithWhiteSpace(const QString &text)
{
    return isWhiteSpace(text.toUcs4().value(0));
}

QString firstCharacter(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = finder.toNextBoundary();
    return text.left(end < 0 ? text.size() : end);
}

QString lastCharacter(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return text.mid(start < 0 ? 0 : start);
}

bool isJoiningPunctuation(const QString &character)
{
    static const std::array<QString, 10> marks{
        QStringLiteral(","),       QStringLiteral("."),       QStringLiteral("!"),
        QStringLiteral("?"),       QStringLiteral(";"),       QStringLiteral(":"),
        QStringLiteral(u"\u3002"), QStringLiteral(u"\uFF01"), QStringLiteral(u"\uFF1F"),
        QStringLiteral(u"\u3001"),
    };
    for (const auto &mark : marks)
        if (character == mark)
            return true;
    return false;
}

} // namespace

QString join(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a + b;
    if (startsWithWhiteSpace(lastCharacter(a)) || startsWithWhiteSpace(b))
        return a + b;
    if (isJoiningPunctuation(firstCharacter(b)))
        return a + b;
    return a + u' ' + b;
}

QString trimmed(const QString &text)
{
    const auto scalars = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = scalars.size();
    while (begin < end && isWhiteSpace(scalars[begin]))
        ++begin;
    while (end > begin && isWhiteSpace(scalars[end - 1]))
        --end;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(scalars.constData()) + begin, end - begin);
}

QCoro::Task<QString> prepareSpeech(SpeechService &service, QString localeIdentifier)
{
    if (!service.isAvailable())
        throw TalvexException(TalvexError::speechUnavailable);
    const auto locale = co_await service.supportedLocale(localeIdentifier);
    if (!locale)
        throw TalvexException(TalvexError::unsupportedLocale);
    // This module serves only the model check; each dictation makes its own.
    const auto module = service.makeTranscriber(*locale);
    if (co_await service.assetStatus(module) == AssetStatus::installed)
        co_return *locale;
    if (auto request = co_await service.assetInstallationRequest(module))
        co_await request->downloadAndInstall();
    co_return *locale;
}

QCoro::Task<QString> collect(std::shared_ptr<Transcriber> module, TextUpdate update, CancellationToken cancel)
{
    QString finalized;
    while (!cancel.isCancelled()) {
        auto result = co_await module->nextResult();
        if (!result || cancel.isCancelled())
            break;
        if (result->isFinal) {
            finalized = join(finalized, result->text);
            if (update)
                co_await update(finalized);
        } else if (update) {
            co_await update(join(finalized, result->text));
        }
    }
    co_return trimmed(finalized);
}

} // namespace talvex::LocalModels
