// Release-to-text latency of whole dictations, talvex's memory with the speech model loaded, and its
// cost while idle. Run inside the private desktop:
//   scripts/with-desktop -- build/<dir>/bench/latency/bench_latency [dictations] [idle seconds] [clean]
// (defaults 20 and 30). TALVEX_LLM_URL=off in the environment leaves out the language model's
// background availability probe; TALVEX_SPHINX_SEARCH picks the search width as for talvex itself;
// BENCH_TIMELINE=1 prints what talvex logged after each release, with times.
//
// Two series, each in a talvex started for it, so that each has a first dictation after a start:
//   sentence  `dictations` times one kal16 sentence of two phrases with a pause between them
//   phrases   one-phrase sentences of 2 to 4 s without a pause, each in every flite voice installed
//             (kal16, slt, rms, awb), with a vocabulary in the library, so that its first dictation is
//             also the first with that vocabulary
// The private desktop starts with an empty home: the sentence series' first dictation is the first
// ever (no normalisation kept yet); the phrases series' talvex starts from the one the first kept.
//
// Each dictation holds Ctrl+Shift+Space through XTest while the speech plays into the microphone,
// releases it, and times what follows from the moment the release reached the X server:
//   event        until talvex logged the release ("Shortcut released")
//   recognition  until the final transcript (verbatim: until the text was put on the clipboard, so
//                this also holds the word replacements and delivery's focus checks and clipboard
//                snapshot; with "clean", until talvex entered the refining phase)
//   completion   with "clean" only: the rewrite by a loopback model that answers at once (so this is
//                talvex's own cost of a rewrite), the replacements and delivery's checks
//   paste        until the text was in zenity's field (the fixed waits of the paste, the keystroke,
//                GTK fetching the clipboard)
// and, apart, the time from the release to the paste keystroke (talvex logged the paste key's press):
// the delivery's fixed waits (85 ms after writing the clipboard, 12 ms with Ctrl down) are in it.
#include "DictationHarness.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <unistd.h>

using namespace talvex;
using namespace talvex::e2e;

namespace {

constexpr std::uint32_t controlKey = 0xffe3, shiftKey = 0xffe1, spaceKey = 0x20;
const QString sentence =
    QStringLiteral("The weather is nice today. I will send the report to my manager tomorrow morning.");
const QStringList phrases{
    QStringLiteral("can you call me back when you get home"),
    QStringLiteral("i will be working from home on friday"),
    QStringLiteral("please print three copies of the contract"),
    QStringLiteral("my phone battery is almost empty"),
    QStringLiteral("the meeting room on the second floor is free"),
    QStringLiteral("thank you for your help with the project last week"),
};
const QStringList voices{QStringLiteral("kal16"), QStringLiteral("slt"), QStringLiteral("rms"),
                         QStringLiteral("awb")};

struct Sample {
    double event = 0, recognition = 0, completion = 0, paste = 0, total = 0;
    double keystroke = 0; ///< release to the paste key's press
    QString recogniser;   ///< how far behind the audio the decoder was at the end, from talvex's log
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const auto low = std::size_t(rank);
    const std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

double wavSeconds(const QString &path)
{
    // flite writes a plain 44-byte header, 16-bit mono at 16 kHz.
    return double(QFileInfo(path).size() - 44) / (16000.0 * 2.0);
}

// `text` in flite's `voice`, made once; nothing when the voice is not installed.
std::optional<QString> spoken(const QString &text, const QString &voice)
{
    const QString path =
        QDir(qEnvironmentVariable("TALVEX_TEST_TMP"))
            .filePath(QStringLiteral("phrase-%1-%2.wav")
                          .arg(voice, QString::fromLatin1(
                                          QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5)
                                              .toHex()
                                              .left(12))));
    if (QFile::exists(path))
        return path;
    QProcess flite;
    flite.start(QStringLiteral("flite"),
                {QStringLiteral("-voice"), voice, QStringLiteral("-t"), text, QStringLiteral("-o"), path});
    if (!flite.waitForFinished(60000) || flite.exitCode() != 0 || !QFile::exists(path))
        return std::nullopt;
    return path;
}

struct Usage {
    double cpu = -1;  ///< utime + stime of the whole process, seconds
    double rss = -1;  ///< resident memory, MiB
    double anon = -1; ///< its anonymous part (heap), MiB
    double file = -1; ///< its file-backed part (code, mapped files), MiB
};

Usage usageOf(qint64 pid)
{
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
        return usage;
    const QByteArray statLine = stat.readAll();
    const QList<QByteArray> fields = statLine.mid(statLine.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    usage.cpu = (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    auto mib = [](const QByteArray &line, int prefix) {
        return line.mid(prefix).trimmed().split(' ').value(0).toDouble() / 1024.0;
    };
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            usage.rss = mib(line, 6);
        else if (line.startsWith("RssAnon:"))
            usage.anon = mib(line, 8);
        else if (line.startsWith("RssFile:"))
            usage.file = mib(line, 8);
    }
    return usage;
}

void printMemory(const char *when, const Usage &usage)
{
    std::printf("  resident memory %s: %.1f MiB (anonymous %.1f, file-backed %.1f)\n", when, usage.rss,
                usage.anon, usage.file);
}

void idle(TalvexProcess &talvex, int seconds, const char *when)
{
    if (seconds <= 0)
        return;
    const auto before = usageOf(talvex.pid());
    waitFor([] { return false; }, std::chrono::seconds(seconds));
    const auto after = usageOf(talvex.pid());
    std::printf("  idle %d s %s: CPU time grew by %.3f s\n", seconds, when, after.cpu - before.cpu);
}

std::optional<Sample> oneDictation(TalvexProcess &talvex, XTestKeyboard &keys, const QString &wav, bool clean)
{
    EntryTarget target;
    QString error;
    if (!target.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return std::nullopt;
    }
    double clipboardSet = 0;
    const auto watch =
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, [&](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard && clipboardSet == 0)
                clipboardSet = monotonicNow();
        });
    const auto stop = dictate(talvex, keys, {controlKey, shiftKey, spaceKey}, Gesture::hold, wav, &error);
    if (!stop) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return std::nullopt;
    }
    // Nothing polls while talvex recognises: the clipboard change arrives as an event. Only then
    // is the field read, every 2 ms, until the paste shows.
    waitFor([&] { return clipboardSet != 0; }, std::chrono::seconds(30), std::chrono::milliseconds(1));
    double textArrived = 0;
    waitFor(
        [&] {
            const auto text = target.text();
            if (text && !text->isEmpty())
                textArrived = monotonicNow();
            return textArrived != 0;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(2));
    QObject::disconnect(watch);
    const auto released =
        talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Shortcut released"), stop->firstLine);
    const auto delivered =
        talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), stop->firstLine);
    const auto idle =
        talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase idle"), stop->firstLine);
    const auto pasteKey =
        talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Paste key pressed"), stop->firstLine);
    const auto refining =
        clean ? talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase refining"), stop->firstLine)
              : std::nullopt;
    target.finish(keys);
    if (!released || !delivered || !idle || !pasteKey || textArrived == 0 || clipboardSet == 0 ||
        (clean && !refining)) {
        std::fprintf(stderr, "incomplete dictation\n%s\n", qPrintable(talvex.log().right(2000)));
        return std::nullopt;
    }
    if (qEnvironmentVariableIsSet("BENCH_TIMELINE")) {
        // What talvex logged from the release on, in ms after the release reached the server.
        const auto &lines = talvex.lines();
        for (std::size_t i = stop->firstLine; i < lines.size(); ++i)
            if (lines[i].time >= stop->keyReleased - 0.001)
                std::printf("      %+8.1f ms  %s: %s\n", (lines[i].time - stop->keyReleased) * 1e3,
                            qPrintable(lines[i].category), qPrintable(lines[i].message.left(100)));
        std::printf("      %+8.1f ms  clipboard changed\n      %+8.1f ms  text in the field\n",
                    (clipboardSet - stop->keyReleased) * 1e3, (textArrived - stop->keyReleased) * 1e3);
    }
    Sample sample;
    if (const auto ended = talvex.waitForLine(QStringLiteral("speech"), QStringLiteral("Recognition ended"),
                                              stop->firstLine, std::chrono::seconds(1)))
        sample.recogniser = ended->message.section(QLatin1Char(';'), 1, -1).trimmed();
    sample.event = released->time - stop->keyReleased;
    const double transcribed = refining ? refining->time : clipboardSet;
    sample.recognition = transcribed - released->time;
    sample.completion = clipboardSet - transcribed;
    sample.paste = textArrived - clipboardSet;
    sample.total = textArrived - stop->keyReleased;
    sample.keystroke = pasteKey->time - stop->keyReleased;
    return sample;
}

void summarise(const std::vector<Sample> &samples)
{
    auto column = [&](double Sample::*member) {
        std::vector<double> values;
        for (const Sample &s : samples)
            values.push_back(s.*member * 1e3);
        return values;
    };
    const auto totals = column(&Sample::total);
    const double sum = std::accumulate(totals.begin(), totals.end(), 0.0);
    auto share = [&](double Sample::*member) {
        const auto values = column(member);
        return 100.0 * std::accumulate(values.begin(), values.end(), 0.0) / sum;
    };
    const auto keystrokes = column(&Sample::keystroke);
    const double keyMedian = percentile(keystrokes, 0.5);
    std::printf(
        "  release to paste keystroke: p50 %.1f ms, p95 %.1f ms (max %.1f); first dictation %.1f ms = "
        "%.2f x the median\n",
        keyMedian, percentile(keystrokes, 0.95), *std::max_element(keystrokes.begin(), keystrokes.end()),
        keystrokes.front(), keystrokes.front() / keyMedian);
    const double median = percentile(totals, 0.5);
    std::printf("  release to text: p50 %.1f ms, p95 %.1f ms (min %.1f, max %.1f); first dictation %.1f ms = "
                "%.2f x the median\n",
                median, percentile(totals, 0.95), *std::min_element(totals.begin(), totals.end()),
                *std::max_element(totals.begin(), totals.end()), totals.front(), totals.front() / median);
    const auto recognition = column(&Sample::recognition);
    std::printf("  release to transcript (event + recognition): p50 %.1f ms, p95 %.1f ms\n",
                percentile(column(&Sample::event), 0.5) + percentile(recognition, 0.5),
                percentile(column(&Sample::event), 0.95) + percentile(recognition, 0.95));
    std::printf("  share: event %.1f %%, recognition %.1f %%, completion %.1f %%, paste %.1f %%\n",
                share(&Sample::event), share(&Sample::recognition), share(&Sample::completion),
                share(&Sample::paste));
    std::printf("  medians: event %.1f ms, recognition %.1f ms, completion %.1f ms, paste %.1f ms\n",
                percentile(column(&Sample::event), 0.5), percentile(recognition, 0.5),
                percentile(column(&Sample::completion), 0.5), percentile(column(&Sample::paste), 0.5));
}

struct Series {
    const char *name;
    std::vector<QString> wavs;
    QString vocabulary;
};

// One talvex for the series: idle and memory before, the dictations, idle and memory after.
bool run(const Series &series, int idleSeconds, bool clean, XTestKeyboard &keys)
{
    LoopbackModelServer model([](const QString &dictation) { return dictation; });
    TalvexProcess::Options options;
    Library library;
    library.preferences.vocabulary = series.vocabulary;
    if (clean) {
        library.preferences.mode = WritingMode::clean;
        options.environment = {QStringLiteral("TALVEX_LLM_URL=") + model.url(),
                               QStringLiteral("TALVEX_LLM_MODEL=") +
                                   QLatin1String(LoopbackModelServer::modelName)};
        options.awaitLanguageModel = true;
    }
    options.library = library;
    TalvexProcess talvex;
    QString error;
    const double launched = monotonicNow();
    if (!talvex.start(options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    double seconds = 0;
    for (const QString &wav : series.wavs)
        seconds += wavSeconds(wav);
    std::printf("%s: %zu dictations, %.1f s of speech each on average, Ctrl+Shift+Space held, %s\n",
                series.name, series.wavs.size(), seconds / double(series.wavs.size()),
                clean ? "Clean up with an instant loopback model" : "verbatim");
    std::printf("  start to speech ready: %.2f s\n", monotonicNow() - launched);
    printMemory("with the model loaded", usageOf(talvex.pid()));
    idle(talvex, idleSeconds, "before the first dictation");

    std::vector<Sample> samples;
    for (std::size_t i = 0; i < series.wavs.size(); ++i) {
        const auto sample = oneDictation(talvex, keys, series.wavs[i], clean);
        if (!sample)
            return false;
        std::printf("  #%2zu %-22s key %6.1f ms  total %6.1f ms  "
                    "(event %5.1f, recognition %6.1f, completion %5.1f, paste %6.1f)  %s\n",
                    i + 1, qPrintable(QFileInfo(series.wavs[i]).baseName().left(22)), sample->keystroke * 1e3,
                    sample->total * 1e3, sample->event * 1e3, sample->recognition * 1e3,
                    sample->completion * 1e3, sample->paste * 1e3, qPrintable(sample->recogniser));
        std::fflush(stdout);
        samples.push_back(*sample);
    }
    summarise(samples);
    printMemory("after the dictations", usageOf(talvex.pid()));
    idle(talvex, idleSeconds, "after the dictations");
    std::fflush(stdout);
    return talvex.stop();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop -- %s\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const int dictations = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int idleSeconds = argc > 2 ? std::max(0, atoi(argv[2])) : 30;
    const bool clean = argc > 3 && QByteArray(argv[3]) == "clean";

    Series withPause{"sentence (two phrases, a pause between)", {}, {}};
    const auto wav = speechFile(sentence);
    if (!wav) {
        std::fprintf(stderr, "flite could not speak the sentence\n");
        return 1;
    }
    withPause.wavs.assign(std::size_t(dictations), *wav);

    // Voices interleaved, so that neither the first dictation nor any stretch has one voice only.
    Series onePhrase{
        "phrases (one phrase each, no pause)", {}, QStringLiteral("Talvex\nKubernetes\nDashwood")};
    for (const QString &phrase : phrases)
        for (const QString &voice : voices)
            if (const auto file = spoken(phrase, voice))
                onePhrase.wavs.push_back(*file);
    if (onePhrase.wavs.empty()) {
        std::fprintf(stderr, "flite could not speak the phrases\n");
        return 1;
    }

    XTestKeyboard keys;
    for (const Series *series : {&withPause, &onePhrase})
        if (!run(*series, idleSeconds, clean, keys))
            return 1;
    return 0;
}
