#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace talvex {

/// How widely the recogniser searches, a deployment setting (TALVEX_SPHINX_SEARCH). `fast` keeps the
/// model's beams and rescores each utterance's word lattice, which is quick enough to end a dictation
/// within a few tens of milliseconds (a complete recording also gets the second, flat-lexicon pass,
/// as the model's batch decoding does); `accurate` widens the beams and adds that pass everywhere, at
/// several times the cost, much of it at the end of each utterance.
enum class SphinxSearch { fast, accurate };

/// The width named `text` ("fast", "accurate", any case, surrounding blanks ignored); nothing for
/// anything else.
std::optional<SphinxSearch> parseSphinxSearch(const QString &text);

/// The width TALVEX_SPHINX_SEARCH asks for; `fast` when unset. An unknown value is named in `problem`
/// (when given) and gives the default.
SphinxSearch sphinxSearchFromEnvironment(QString *problem = nullptr);

/// How a decoder normalises its input: `live` carries a running cepstral mean from one utterance to
/// the next (audio that arrives while it is decoded); `whole` takes each utterance's own mean (a
/// recording decoded once it is complete).
enum class SphinxNormalisation { live, whole };

/// The decoder arguments, beyond the model files, for one width and normalisation.
QStringList sphinxDecoderArguments(SphinxSearch search, SphinxNormalisation normalisation);

} // namespace talvex
