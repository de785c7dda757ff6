// Library load and save at 10,000 transcripts (goals: load under 100 ms, save under 150 ms), the
// replacement pass with 200 rules over a 2,000-word text, and word-list parsing.
#include "store/Library.h"
#include "store/WordList.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace talvex;

namespace {

const QStringList words = QStringLiteral(
    "meeting tomorrow noon project budget review email client draft schedule open ai kubernetes deploy "
    "release notes café naïve résumé straße thanks please update the team about status quickly")
                              .split(QLatin1Char(' '));

QString sentence(QRandomGenerator &random, int length)
{
    QStringList picked;
    for (int i = 0; i < length; ++i)
        picked << words.at(random.bounded(words.size()));
    return picked.join(QLatin1Char(' '));
}

Library bigLibrary()
{
    QRandomGenerator random(42);
    Library library;
    library.preferences.vocabulary = sentence(random, 80).replace(QLatin1Char(' '), QLatin1Char('\n'));
    for (int i = 0; i < 200; ++i)
        library.preferences.replacements.append(
            WordReplacement{QUuid::createUuid(), sentence(random, 2), sentence(random, 1)});
    for (int i = 0; i < 10000; ++i) {
        Transcript transcript = Transcript::make(sentence(random, 30), sentence(random, 28), QStringLiteral("Mail"),
                                                 allWritingModes[i % 4]);
        transcript.date -= i * 61.25;
        library.history.append(transcript);
    }
    return library;
}

const Library &library10k()
{
    static const Library library = bigLibrary();
    return library;
}

void BM_DecodeLibrary10k(benchmark::State &state)
{
    const QByteArray bytes = library10k().encode();
    for (auto _ : state) {
        auto decoded = Library::read(bytes);
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_DecodeLibrary10k)->Unit(benchmark::kMillisecond);

void BM_EncodeLibrary10k(benchmark::State &state)
{
    for (auto _ : state) {
        QByteArray bytes = library10k().encode();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_EncodeLibrary10k)->Unit(benchmark::kMillisecond);

// Encode plus the atomic replace (temporary file, fsync, rename): what one save costs.
void BM_WriteLibrary10k(benchmark::State &state)
{
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/bench-store-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("Library.json"));
    for (auto _ : state) {
        if (!library10k().write(path))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WriteLibrary10k)->Unit(benchmark::kMillisecond);

// 200 rules over 2,000 words; state.range(0) of the rules have a spoken form that occurs in the
// text (the others name words the dictation does not contain, the usual case).
void BM_ApplyReplacements200Rules2000Words(benchmark::State &state)
{
    QRandomGenerator random(7);
    const QString text = sentence(random, 2000);
    Preferences preferences;
    for (int i = 0; i < 200; ++i) {
        const QString spoken = i < state.range(0) ? sentence(random, 2) : QStringLiteral("absent%1 word").arg(i);
        preferences.replacements.append(WordReplacement{QUuid::createUuid(), spoken, sentence(random, 1)});
    }
    for (auto _ : state) {
        QString result = preferences.applyingReplacements(text);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ApplyReplacements200Rules2000Words)->Arg(0)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_ParseWordList1MB(benchmark::State &state)
{
    QRandomGenerator random(9);
    QString text;
    while (text.size() < 1'000'000)
        text += sentence(random, 3) + QStringLiteral(", \"") + sentence(random, 2) + QStringLiteral("\";\n");
    for (auto _ : state) {
        auto entries = WordList::parse(text);
        benchmark::DoNotOptimize(entries);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_ParseWordList1MB)->Unit(benchmark::kMillisecond);

// A 50 MB word-list file, mostly non-ASCII, from bytes to the import's verdict (over the limit).
void BM_ImportWordList50MB(benchmark::State &state)
{
    QRandomGenerator random(11);
    QString text;
    while (text.size() < 44'000'000)
        text += sentence(random, 2) + QStringLiteral(" \u00E9\u0301\U0001F600, \"") + sentence(random, 1) +
                QStringLiteral("\";\r\n");
    const QByteArray bytes = text.toUtf8();
    for (auto _ : state) {
        auto decoded = WordList::decodeText(bytes);
        Preferences preferences;
        WordList::ImportError error;
        auto added = preferences.importVocabulary(decoded.value(), &error);
        if (added || error.kind() != WordList::ImportError::Kind::overLimit)
            state.SkipWithError("expected overLimit");
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
}
BENCHMARK(BM_ImportWordList50MB)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
