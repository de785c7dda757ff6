#include "LibraryEdits.h"

#include <QStringList>
#include <random>

namespace talvex::test {

namespace {

// Texts with what a writer must get right: quotes, backslashes, line breaks, non-Latin scripts,
// characters outside the basic plane, and JSON-looking fragments.
const QStringList words = {
    QStringLiteral("meet"),
    QStringLiteral("at"),
    QStringLiteral("noon"),
    QStringLiteral("\u201Cquoted\u201D"),
    QStringLiteral("\"raw\""),
    QStringLiteral("back\\slash"),
    QStringLiteral("line\nbreak"),
    QStringLiteral("tab\there"),
    QStringLiteral("Gr\u00FC\u00DFe"),
    QStringLiteral("\u65E5\u672C\u8A9E"),
    QStringLiteral("\U0001F600"),
    QStringLiteral("}],\"version\":2"),
    QStringLiteral("Quindlark"),
    QStringLiteral("don\u2019t"),
    QStringLiteral("\u05E9\u05DC\u05D5\u05DD"),
};
const QStringList sources = {QStringLiteral("Text Editor"), QStringLiteral("Terminal"),
                             QStringLiteral("Dictation"), QStringLiteral("Mail")};
constexpr WritingMode modes[] = {WritingMode::verbatim, WritingMode::clean, WritingMode::notes,
                                 WritingMode::email};
constexpr double firstDate = 780000000.0; // 2025

using Random = std::mt19937_64;

Random randomFor(std::uint64_t seed, std::uint64_t stream, std::int64_t step)
{
    std::seed_seq sequence{std::uint32_t(seed), std::uint32_t(seed >> 32), std::uint32_t(stream),
                           std::uint32_t(step), std::uint32_t(std::uint64_t(step) >> 32)};
    return Random(sequence);
}

QString sentence(Random &random)
{
    std::uniform_int_distribution<qsizetype> count(1, 24), pick(0, words.size() - 1);
    QStringList chosen;
    for (qsizetype i = count(random); i > 0; --i)
        chosen << words.at(pick(random));
    return chosen.join(QLatin1Char(' '));
}

Transcript transcript(Random &random, double date)
{
    Transcript made;
    const std::uint64_t high = random(), low = random();
    made.id = QUuid(uint(high >> 32), ushort(high >> 16), ushort(high), uchar(low >> 56), uchar(low >> 48),
                    uchar(low >> 40), uchar(low >> 32), uchar(low >> 24), uchar(low >> 16), uchar(low >> 8),
                    uchar(low));
    made.date = date + std::uniform_real_distribution<double>(0, 0.999)(random);
    made.original = sentence(random);
    made.text = std::bernoulli_distribution(0.3)(random) ? made.original : sentence(random);
    made.source = sources.at(std::uniform_int_distribution<qsizetype>(0, sources.size() - 1)(random));
    made.mode = modes[std::uniform_int_distribution<int>(0, 3)(random)];
    return made;
}

} // namespace

Library LibraryEdits::base(int transcripts) const
{
    Random random = randomFor(m_seed, 1, 0);
    Library library;
    library.preferences.vocabulary = QStringLiteral("Quindlark\nTalvex\n");
    library.history.reserve(transcripts);
    for (int i = 0; i < transcripts; ++i)
        library.history.append(transcript(random, firstDate - 60.0 * (i + 1)));
    return library;
}

void LibraryEdits::apply(Library &library, std::int64_t step) const
{
    Random random = randomFor(m_seed, 2, step);
    const double now = firstDate + 60.0 * double(step);
    const double kind = std::uniform_real_distribution<double>(0, 1)(random);
    if (kind < 0.7) {
        library.addTranscript(transcript(random, now));
    } else if (kind < 0.9) {
        Preferences &preferences = library.preferences;
        preferences.mode = modes[std::uniform_int_distribution<int>(0, 3)(random)];
        preferences.appModes.insert(QStringLiteral("org.example.App%1").arg(step % 7), preferences.mode);
        preferences.vocabulary += sentence(random).left(40).remove(QLatin1Char('\n')) + QLatin1Char('\n');
    } else {
        Library backup;
        backup.preferences = library.preferences;
        backup.preferences.locale =
            std::bernoulli_distribution(0.5)(random) ? QStringLiteral("en-US") : QStringLiteral("en-GB");
        if (!library.history.isEmpty()) // one the library has already: merged away
            backup.history.append(library.history.at(
                std::uniform_int_distribution<qsizetype>(0, library.history.size() - 1)(random)));
        for (int i = 0; i < 3; ++i)
            backup.history.append(
                transcript(random, now - 3600.0 * std::uniform_int_distribution<int>(0, 1000)(random)));
        library.restore(backup);
    }
}

} // namespace talvex::test
