#include "CepstralMeanFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryFile>
#include <cmath>
#include <cstdio>

namespace talvex {

namespace {

// Cepstra of 16-bit audio stay far below this; anything larger is damage, not a microphone.
constexpr float plausibleMagnitude = 1000.0f;

// A mean file is a handful of numbers; a large file is not one of ours.
constexpr qint64 maximumSize = 4096;

} // namespace

QByteArray CepstralMeanFile::encode(const std::vector<float> &mean)
{
    QByteArray text("# Cepstral mean of this computer's speech input, kept by Talvex between runs.\n");
    for (std::size_t i = 0; i < mean.size(); ++i) {
        if (i > 0)
            text += ' ';
        text += QByteArray::number(double(mean[i]), 'g', 7);
    }
    text += '\n';
    return text;
}

std::optional<std::vector<float>> CepstralMeanFile::decode(const QByteArray &text, int dimension)
{
    std::vector<float> mean;
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray content = line.trimmed();
        if (content.isEmpty() || content.startsWith('#'))
            continue;
        if (!mean.empty())
            return std::nullopt; // one line of numbers only
        for (const QByteArray &field : content.simplified().split(' ')) {
            bool ok = false;
            const float value = field.toFloat(&ok);
            if (!ok || !std::isfinite(value) || std::fabs(value) > plausibleMagnitude)
                return std::nullopt;
            mean.push_back(value);
        }
    }
    if (dimension <= 0 || mean.size() != std::size_t(dimension))
        return std::nullopt;
    return mean;
}

std::optional<std::vector<float>> CepstralMeanFile::read(const QString &path, int dimension)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumSize)
        return std::nullopt;
    return decode(file.readAll(), dimension);
}

bool CepstralMeanFile::write(const QString &path, const std::vector<float> &mean)
{
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return false;
    // A temporary file renamed over the old one: readers see the old mean or the new one. No sync
    // to disk (it is written at the end of every dictation, and a mean lost in a crash costs little).
    QTemporaryFile file(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    const QByteArray text = encode(mean);
    if (file.write(text) != text.size() || !file.flush())
        return false;
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return false;
    file.setAutoRemove(false); // it has become the mean file
    return true;
}

} // namespace talvex
