#include "SphinxSearch.h"

namespace talvex {

namespace {

// Wider than the model's own beams (1e-48 and 7e-29 for words). Much wider made the word lattice,
// rescored at the end of each utterance, slow to search.
const QStringList wideBeams{QStringLiteral("-beam"),       QStringLiteral("1e-55"),
                            QStringLiteral("-pbeam"),      QStringLiteral("1e-55"),
                            QStringLiteral("-wbeam"),      QStringLiteral("1e-35"),
                            QStringLiteral("-lpbeam"),     QStringLiteral("1e-45"),
                            QStringLiteral("-lponlybeam"), QStringLiteral("1e-35")};

// Most states (HMMs) the fast live search keeps per 10 ms frame; the recogniser's default is 30000.
constexpr int liveStatesPerFrame = 4000;

// Narrower than the model's own beams for word ends (7e-29) and phone transitions (1e-48).
const QStringList liveNarrowBeams{QStringLiteral("-wbeam"), QStringLiteral("1e-20"), QStringLiteral("-pbeam"),
                                  QStringLiteral("1e-40")};

} // namespace

std::optional<SphinxSearch> parseSphinxSearch(const QString &text)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("fast"))
        return SphinxSearch::fast;
    if (name == QLatin1String("accurate"))
        return SphinxSearch::accurate;
    return std::nullopt;
}

SphinxSearch sphinxSearchFromEnvironment(QString *problem)
{
    const QString value = qEnvironmentVariable("TALVEX_SPHINX_SEARCH");
    if (value.trimmed().isEmpty())
        return SphinxSearch::fast;
    if (const auto search = parseSphinxSearch(value))
        return *search;
    if (problem)
        *problem = QStringLiteral("TALVEX_SPHINX_SEARCH is \"%1\"; it can be fast or accurate. Using fast.")
                       .arg(value);
    return SphinxSearch::fast;
}

QStringList sphinxDecoderArguments(SphinxSearch search, SphinxNormalisation normalisation)
{
    QStringList arguments;
    // The model asks for each utterance's own mean ("batch"), which only a complete recording has.
    // Audio that arrives while it is decoded is also searched without the phone lookahead: the
    // lookahead keeps the word search five frames behind the audio, and those frames are what is
    // left to search when the audio ends (it halved that wait on synthetic speech, for about a tenth
    // more work per frame while the user speaks).
    // The word lattice each live utterance is rescored on at its end keeps the words that end in a
    // single frame: with the narrower live beams below, leaving them out gave 8.1 instead of 7.5 %
    // errors on synthetic speech, and since the quiet after the last word is no longer decoded, the
    // rescoring they add is a few milliseconds after the release.
    if (normalisation == SphinxNormalisation::live)
        arguments << QStringLiteral("-cmn") << QStringLiteral("live") << QStringLiteral("-pl_window")
                  << QStringLiteral("0");
    // In the quiet after the last word no word fits the audio better than another, so the search
    // spreads over ever more states: each buffer there took up to twice its own length to decode,
    // and the release, which usually comes in that quiet, waited for the backlog. Capping the states
    // searched per frame keeps that stretch faster than the audio, and the whole live decoding took
    // a fifth less CPU, for a few more errors on synthetic speech (none on the recordings). A cap of
    // 3000 lost words of a short first dictation. At the accurate width the wider beams are the
    // point, so it is not capped.
    // Most of what remains there is scoring the words that may end in each frame against the
    // language model, and entering the phones that follow: narrower beams for both took a third
    // off the live decoding's CPU and off that stretch, with the same word error rate on the
    // recordings and on synthetic speech.
    if (normalisation == SphinxNormalisation::live && search == SphinxSearch::fast)
        arguments << QStringLiteral("-maxhmmpf") << QString::number(liveStatesPerFrame) << liveNarrowBeams;
    // The lattice rescoring costs a few milliseconds per second of speech, at the end of an utterance;
    // the flat-lexicon pass re-searches the whole utterance there, about five times as long, which
    // a dictation waits for after the release. A complete recording waits for nothing, and without
    // that pass it had a fifth more errors on synthetic speech than the model's own batch decoding
    // (8.5 against 7.0 %), so recordings always get it.
    const bool flatPass = search == SphinxSearch::accurate || normalisation == SphinxNormalisation::whole;
    arguments << QStringLiteral("-bestpath") << QStringLiteral("yes");
    arguments << QStringLiteral("-fwdflat") << (flatPass ? QStringLiteral("yes") : QStringLiteral("no"));
    if (search == SphinxSearch::accurate)
        arguments << wideBeams;
    return arguments;
}

} // namespace talvex
