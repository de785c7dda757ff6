#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace talvex {

/// The multipart/form-data body of one OpenAI-style transcription request: the dictation as a WAV
/// file and the text fields that steer the server. Fields left empty are not sent.
struct TranscriptionForm final {
    /// The server takes at most this many vocabulary hints, as the on-device recogniser does.
    static constexpr qsizetype maximumHints = 100;

    QByteArray wav;
    QString model;
    QString language; ///< ISO 639-1, e.g. "en"
    QString prompt;   ///< the vocabulary hints, so names and spellings reach this recogniser too
    /// Separates the parts; random, so neither the audio nor a hint can contain it by accident.
    QByteArray boundary = randomBoundary();

    /// "multipart/form-data; boundary=..."
    QByteArray contentType() const;
    /// The parts in a fixed order: file, model, language, prompt, response_format ("json").
    QByteArray body() const;

    static QByteArray randomBoundary();
    /// The ISO 639-1 code of a locale identifier's language ("en" for "en-US", "de" for "deu_DE"),
    /// or empty when the language has none.
    static QString languageOf(const QString &locale);
    /// The first `maximumHints` hints, joined with ", ".
    static QString promptFor(const QStringList &hints);
};

} // namespace talvex
