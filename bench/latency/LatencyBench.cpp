// Release-to-text latency of a whole dictation, and talvex's cost while idle. Run inside the private
// desktop:  scripts/with-desktop -- build/<dir>/bench/latency/bench_latency [dictations] [idle seconds]
// (defaults 20 and 60). TALVEX_LLM_URL=off in the environment leaves out the language model's
// background availability probe.
//
// Each dictation holds Ctrl+Shift+Space through XTest while a flite sentence plays into the
// microphone, releases it, and times what follows from the moment the release reached the X server:
//   event        until talvex logged the release ("Shortcut released")
//   recognition  until the final transcript (verbatim: until the text was put on the clipboard, so
//                this also holds the word replacements and delivery's focus checks and clipboard
//                snapshot; with "clean", until talvex entered the refining phase)
//   completion   with "clean" only: the rewrite by a loopback model that answers at once (so this is
//                talvex's own cost of a rewrite), the replacements and delivery's checks
//   paste        until the text was in zenity's field (the fixed waits of the paste, the keystroke,
//                GTK fetching the clipboard)
#include "DictationHarness.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
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

struct Sample {
    double event = 0, recognition = 0, completion = 0, paste = 0, total = 0;
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

// utime + stime of the whole process in seconds, and its resident memory in MiB.
std::pair<double, double> cpuAndMemory(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
        return {-1, -1};
    const QByteArray statLine = stat.readAll();
    const QList<QByteArray> fields = statLine.mid(statLine.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    const double cpu = (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    double rss = -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            rss = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return {cpu, rss};
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
    const auto refining =
        clean ? talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase refining"), stop->firstLine)
              : std::nullopt;
    target.finish(keys);
    if (!released || !delivered || !idle || textArrived == 0 || clipboardSet == 0 || (clean && !refining)) {
        std::fprintf(stderr, "incomplete dictation\n%s\n", qPrintable(talvex.log().right(2000)));
        return std::nullopt;
    }
    Sample sample;
    sample.event = released->time - stop->keyReleased;
    const double transcribed = refining ? refining->time : clipboardSet;
    sample.recognition = transcribed - released->time;
    sample.completion = clipboardSet - transcribed;
    sample.paste = textArrived - clipboardSet;
    sample.total = textArrived - stop->keyReleased;
    return sample;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop -- %s\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const int dictations = argc > 1 ? std::max(0, atoi(argv[1])) : 20;
    const int idleSeconds = argc > 2 ? std::max(0, atoi(argv[2])) : 60;
    const bool clean = argc > 3 && QByteArray(argv[3]) == "clean";

    const auto wav = speechFile(sentence);
    if (!wav) {
        std::fprintf(stderr, "flite could not speak the sentence\n");
        return 1;
    }
    XTestKeyboard keys;
    TalvexProcess talvex;
    QString error;
    LoopbackModelServer model([](const QString &dictation) { return dictation; });
    TalvexProcess::Options options;
    if (clean) {
        Library library;
        library.preferences.mode = WritingMode::clean;
        options.library = library;
        options.environment = {QStringLiteral("TALVEX_LLM_URL=") + model.url(),
                               QStringLiteral("TALVEX_LLM_MODEL=") +
                                   QLatin1String(LoopbackModelServer::modelName)};
        options.awaitLanguageModel = true;
    }
    if (!talvex.start(options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // Idle first, before any dictation has run.
    if (idleSeconds > 0) {
        const auto before = cpuAndMemory(talvex.pid());
        waitFor([] { return false; }, std::chrono::seconds(idleSeconds));
        const auto after = cpuAndMemory(talvex.pid());
        std::printf("idle %d s: CPU time grew by %.3f s (from %.3f s); resident memory %.1f MiB with the "
                    "speech model loaded\n",
                    idleSeconds, after.first - before.first, before.first, after.second);
    }

    std::printf("%d dictations of a %.1f s sentence, Ctrl+Shift+Space held, %s\n", dictations,
                wavSeconds(*wav), clean ? "Clean up with an instant loopback model" : "verbatim");
    std::vector<Sample> samples;
    for (int i = 0; i < dictations; ++i) {
        const auto sample = oneDictation(talvex, keys, *wav, clean);
        if (!sample)
            return 1;
        std::printf(
            "  #%2d  total %6.1f ms  (event %5.1f, recognition %6.1f, completion %5.1f, paste %6.1f)\n",
            i + 1, sample->total * 1e3, sample->event * 1e3, sample->recognition * 1e3,
            sample->completion * 1e3, sample->paste * 1e3);
        std::fflush(stdout);
        samples.push_back(*sample);
    }
    if (samples.empty())
        return talvex.stop() ? 0 : 1;
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
    std::printf("release to text: p50 %.1f ms, p95 %.1f ms (min %.1f, max %.1f)\n", percentile(totals, 0.5),
                percentile(totals, 0.95), *std::min_element(totals.begin(), totals.end()),
                *std::max_element(totals.begin(), totals.end()));
    std::printf("share: event %.1f %%, recognition %.1f %%, completion %.1f %%, paste %.1f %%\n",
                share(&Sample::event), share(&Sample::recognition), share(&Sample::completion),
                share(&Sample::paste));
    std::printf("medians: event %.1f ms, recognition %.1f ms, completion %.1f ms, paste %.1f ms\n",
                percentile(column(&Sample::event), 0.5), percentile(column(&Sample::recognition), 0.5),
                percentile(column(&Sample::completion), 0.5), percentile(column(&Sample::paste), 0.5));
    return talvex.stop() ? 0 : 1;
}
