#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace talvex::test {

/// Word error rate of `hypothesis` against `reference`: word-level edit distance over the number of
/// reference words, ignoring case and punctuation.
inline double wordErrorRate(const QString &reference, const QString &hypothesis)
{
    static const QRegularExpression nonWord(QStringLiteral("[^a-z0-9']+"));
    const QStringList ref = reference.toLower().split(nonWord, Qt::SkipEmptyParts);
    const QStringList hyp = hypothesis.toLower().split(nonWord, Qt::SkipEmptyParts);
    std::vector<int> previous(hyp.size() + 1), current(hyp.size() + 1);
    for (qsizetype j = 0; j <= hyp.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= ref.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= hyp.size(); ++j)
            current[j] = std::min(
                {previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ref[i - 1] == hyp[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return ref.isEmpty() ? (hyp.isEmpty() ? 0.0 : 1.0) : double(previous[hyp.size()]) / double(ref.size());
}

} // namespace talvex::test
