#pragma once

// Reads a transcription request the way a server would: the multipart form and the WAV file in
// it. Header-only, for the unit, integration and e2e tests of the transcription server path.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtEndian>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvex::test {

struct ReceivedPart {
    QByteArray disposition; ///< the Content-Disposition header's value
    QByteArray contentType; ///< empty when the part names none
    QByteArray data;
};

/// The parts of a multipart/form-data body by field name; nothing when the body is not one.
inline std::optional<QHash<QByteArray, ReceivedPart>> readForm(const QByteArray &contentType,
                                                               const QByteArray &body)
{
    const qsizetype at = contentType.indexOf("boundary=");
    if (!contentType.startsWith("multipart/form-data") || at < 0)
        return std::nullopt;
    const QByteArray delimiter = "--" + contentType.mid(at + 9).trimmed();
    if (!body.startsWith(delimiter) || !body.endsWith(delimiter + "--\r\n"))
        return std::nullopt;
    QHash<QByteArray, ReceivedPart> parts;
    qsizetype from = delimiter.size() + 2; // past the first delimiter's line break
    for (;;) {
        const qsizetype next = body.indexOf("\r\n" + delimiter, from);
        if (next < 0)
            break;
        const QByteArray part = body.mid(from, next - from);
        const qsizetype headEnd = part.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return std::nullopt;
        ReceivedPart received;
        for (const QByteArray &line : part.left(headEnd).split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.toLower().startsWith("content-disposition:"))
                received.disposition = trimmed.mid(20).trimmed();
            else if (trimmed.toLower().startsWith("content-type:"))
                received.contentType = trimmed.mid(13).trimmed();
        }
        received.data = part.mid(headEnd + 4);
        const qsizetype name = received.disposition.indexOf("name=\"");
        if (name < 0)
            return std::nullopt;
        const qsizetype nameEnd = received.disposition.indexOf('"', name + 6);
        parts.insert(received.disposition.mid(name + 6, nameEnd - name - 6), received);
        from = next + 2 + delimiter.size() + 2;
    }
    return parts;
}

/// A canonical 44-byte-header PCM WAV file as a server reads it.
struct ReceivedWav {
    QByteArray riff, wave, fmt, data; ///< the four chunk tags
    std::uint32_t riffSize = 0, fmtSize = 0, dataSize = 0;
    std::uint16_t encoding = 0, channels = 0, blockAlign = 0, bits = 0;
    std::uint32_t rate = 0, byteRate = 0;
    std::vector<std::int16_t> samples;
    qsizetype fileSize = 0;
};

inline std::optional<ReceivedWav> readWav(const QByteArray &file)
{
    if (file.size() < 44)
        return std::nullopt;
    const char *at = file.constData();
    ReceivedWav wav;
    wav.riff = file.mid(0, 4);
    wav.riffSize = qFromLittleEndian<std::uint32_t>(at + 4);
    wav.wave = file.mid(8, 4);
    wav.fmt = file.mid(12, 4);
    wav.fmtSize = qFromLittleEndian<std::uint32_t>(at + 16);
    wav.encoding = qFromLittleEndian<std::uint16_t>(at + 20);
    wav.channels = qFromLittleEndian<std::uint16_t>(at + 22);
    wav.rate = qFromLittleEndian<std::uint32_t>(at + 24);
    wav.byteRate = qFromLittleEndian<std::uint32_t>(at + 28);
    wav.blockAlign = qFromLittleEndian<std::uint16_t>(at + 32);
    wav.bits = qFromLittleEndian<std::uint16_t>(at + 34);
    wav.data = file.mid(36, 4);
    wav.dataSize = qFromLittleEndian<std::uint32_t>(at + 40);
    wav.fileSize = file.size();
    for (qsizetype i = 44; i + 1 < file.size(); i += 2)
        wav.samples.push_back(qFromLittleEndian<std::int16_t>(at + i));
    return wav;
}

} // namespace talvex::test
