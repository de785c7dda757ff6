#include "TranscriptionForm.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace talvex {

namespace {

void appendField(QByteArray &body, const QByteArray &boundary, const char *name, const QString &value)
{
    if (value.isEmpty())
        return;
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
            value.toUtf8() + "\r\n";
}

} // namespace

QByteArray TranscriptionForm::contentType() const
{
    return "multipart/form-data; boundary=" + boundary;
}

QByteArray TranscriptionForm::body() const
{
    QByteArray body;
    body.reserve(wav.size() + 1024);
    body += "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"dictation.wav\"\r\n"
            "Content-Type: audio/wav\r\n\r\n";
    body += wav;
    body += "\r\n";
    appendField(body, boundary, "model", model);
    appendField(body, boundary, "language", language);
    appendField(body, boundary, "prompt", prompt);
    appendField(body, boundary, "response_format", QStringLiteral("json"));
    body += "--" + boundary + "--\r\n";
    return body;
}

QByteArray TranscriptionForm::randomBoundary()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return "talvex-" + QByteArray(reinterpret_cast<const char *>(words), sizeof(words)).toHex();
}

QString TranscriptionForm::languageOf(const QString &locale)
{
    static const QRegularExpression separators(QStringLiteral("[-_.@]"));
    const QString subtag = locale.trimmed().section(separators, 0, 0).toLower();
    if (subtag.size() < 2 || subtag.size() > 3)
        return {};
    const QLocale::Language language = QLocale::codeToLanguage(subtag);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return {};
    return QLocale::languageToCode(language, QLocale::ISO639Part1);
}

QString TranscriptionForm::promptFor(const QStringList &hints)
{
    QStringList kept;
    for (const QString &hint : hints) {
        const QString trimmed = hint.simplified();
        if (!trimmed.isEmpty() && kept.size() < maximumHints)
            kept << trimmed;
    }
    return kept.join(QStringLiteral(", "));
}

} // namespace talvex
