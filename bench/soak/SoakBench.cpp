// A soak run: many dictations in a row into one talvex and a real GTK field (zenity), mixing the
// ways a day of use goes. Run inside the private desktop:
//   scripts/with-desktop -- build/<dir>/bench/soak/bench_soak
// TALVEX_SOAK_DICTATIONS sets how many (default 300); TALVEX_SOAK_SHORTCUT=chord uses the Ctrl+Alt
// modifier-only chord instead of Ctrl+Shift+Space.
//
// Clean up is on, with a loopback model. The dictations cycle through six kinds: held, tapped
// (hands-free), released before any speech, the model dying mid-answer, the target window closed
// before delivery, and tapped again with the model failing. After each one: no key is down, the
// clipboard is what the outcome requires (given back after a confirmed paste, else holding the
// text), and the history holds exactly one more transcript per delivery. Over the run: resident
// memory after dictation 20 against the end, and open file descriptors and threads (the lowest count
// of dictations 11-20 against that of the last ten, since one may be open for a moment).
// Exit status 0 when every check held and memory grew by less than 5 MiB with fds and threads back
// where they were.
#include "DictationHarness.h"
#include "desktop/Shortcut.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <map>

using namespace talvex;
using namespace talvex::e2e;

namespace {

constexpr std::uint32_t controlKey = 0xffe3, shiftKey = 0xffe1, altKey = 0xffe9, spaceKey = 0x20;
const QString sentence = QStringLiteral("Send the weekly report to the team tomorrow.");
const QString clipboardBefore = QStringLiteral("the user's own clipboard");
const QString confirmed = QStringLiteral("Paste confirmed");

enum class Kind { hold, tap, releasedBeforeSpeech, modelDies, windowClosed, tapModelDies };
constexpr int kinds = 6;

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::hold:
        return "hold";
    case Kind::tap:
        return "tap";
    case Kind::releasedBeforeSpeech:
        return "released before speech";
    case Kind::modelDies:
        return "model dies mid-answer";
    case Kind::windowClosed:
        return "window closed before delivery";
    case Kind::tapModelDies:
        return "tap, model dies";
    }
    return "?";
}

struct Resources {
    double rssMiB = 0;
    int fds = 0;
    int threads = 0;
};

Resources resourcesOf(qint64 pid)
{
    Resources r;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                r.rssMiB = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
            else if (line.startsWith("Threads:"))
                r.threads = line.mid(8).trimmed().toInt();
        }
    }
    r.fds = int(
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::System).size());
    return r;
}

/// Waits the given time with the event loop running (the clipboard and the log keep being served).
void pause(std::chrono::milliseconds time)
{
    waitFor([] { return false; }, time);
}

class Soak {
  public:
    Soak(TalvexProcess &talvex, LoopbackModelServer &model, std::vector<std::uint32_t> shortcut, QString wav)
        : m_talvex(talvex), m_model(model), m_shortcut(std::move(shortcut)), m_wav(std::move(wav))
    {
    }

    /// One dictation of `kind`; false (with the reason on stderr) when a check failed.
    bool run(int index, Kind kind)
    {
        if (!m_target || index % 20 == 0) {
            if (m_target)
                m_target->finish(m_keys);
            m_target = std::make_unique<EntryTarget>();
            QString error;
            if (!m_target->start(&error))
                return fail(index, kind, error);
        }
        QGuiApplication::clipboard()->setText(clipboardBefore);
        m_model.cutAnswers(kind == Kind::modelDies || kind == Kind::tapModelDies ? 1 : 0);
        const std::size_t first = m_talvex.lines().size();

        if (kind == Kind::releasedBeforeSpeech) {
            for (const std::uint32_t key : m_shortcut)
                m_keys.press(key);
            if (!m_talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
                return fail(index, kind, QStringLiteral("never recorded"));
            pause(std::chrono::milliseconds(500)); // past the tap threshold: a hold with no speech
            m_keys.releaseAll();
        } else {
            QString error;
            const bool tap = kind == Kind::tap || kind == Kind::tapModelDies;
            const auto stop =
                dictate(m_talvex, m_keys, m_shortcut, tap ? Gesture::tapTwice : Gesture::hold, m_wav, &error);
            if (!stop)
                return fail(index, kind, error);
            if (kind == Kind::windowClosed)
                m_target.reset(); // gone before talvex has the text
        }
        if (!m_talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase idle"), first))
            return fail(index, kind, QStringLiteral("never came back to idle"));

        std::optional<QString> outcome;
        for (std::size_t i = first; i < m_talvex.lines().size(); ++i) {
            const LogLine &line = m_talvex.lines()[i];
            if (line.message.startsWith(QStringLiteral("Delivery to ")))
                outcome = line.message.section(QStringLiteral(": "), 1);
        }
        if (outcome)
            ++m_delivered;
        if (kind == Kind::releasedBeforeSpeech && outcome)
            return fail(index, kind, QStringLiteral("pasted without speech: ") + *outcome);
        if (kind != Kind::releasedBeforeSpeech && !outcome)
            return fail(index, kind, QStringLiteral("nothing was delivered"));
        ++m_outcomes[outcome.value_or(QStringLiteral("no delivery"))];

        std::optional<Library> library;
        waitFor([&] { return (library = m_talvex.readLibrary()) && library->history.size() == m_delivered; },
                std::chrono::seconds(10));
        if (!library || library->history.size() != m_delivered)
            return fail(index, kind,
                        QStringLiteral("history holds %1, expected %2")
                            .arg(library ? library->history.size() : -1)
                            .arg(m_delivered));
        const QString expected =
            !outcome || *outcome == confirmed ? clipboardBefore : library->history.constFirst().text;
        if (!waitFor([&] { return QGuiApplication::clipboard()->text() == expected; },
                     std::chrono::seconds(5)))
            return fail(index, kind,
                        QStringLiteral("clipboard holds \"%1\" after \"%2\"")
                            .arg(QGuiApplication::clipboard()->text(),
                                 outcome.value_or(QStringLiteral("no delivery"))));
        if (!XTestKeyboard::keysDown().empty())
            return fail(index, kind, QStringLiteral("a key was left down"));
        return true;
    }

    const std::map<QString, int> &outcomes() const { return m_outcomes; }
    qsizetype delivered() const { return m_delivered; }

  private:
    bool fail(int index, Kind kind, const QString &why)
    {
        std::fprintf(stderr, "dictation #%d (%s): %s\n--- talvex log (end):\n%s\n", index + 1, kindName(kind),
                     qPrintable(why), qPrintable(m_talvex.log().right(3000)));
        return false;
    }

    TalvexProcess &m_talvex;
    LoopbackModelServer &m_model;
    std::vector<std::uint32_t> m_shortcut;
    QString m_wav;
    XTestKeyboard m_keys;
    std::unique_ptr<EntryTarget> m_target;
    qsizetype m_delivered = 0;
    std::map<QString, int> m_outcomes;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop -- %s\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    bool ok = false;
    int dictations = qEnvironmentVariableIntValue("TALVEX_SOAK_DICTATIONS", &ok);
    if (!ok || dictations <= 0)
        dictations = 300;
    const bool chord = qEnvironmentVariable("TALVEX_SOAK_SHORTCUT") == QLatin1String("chord");

    const auto wav = speechFile(sentence);
    if (!wav) {
        std::fprintf(stderr, "flite could not speak the sentence\n");
        return 1;
    }
    LoopbackModelServer model([](const QString &dictation) { return dictation.trimmed(); });
    Library library;
    library.preferences.mode = WritingMode::clean;
    if (chord)
        library.preferences.shortcutKey = Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey);
    TalvexProcess talvex;
    QString error;
    if (!talvex.start({library,
                       {QStringLiteral("TALVEX_LLM_URL=") + model.url(),
                        QStringLiteral("TALVEX_LLM_MODEL=") + QLatin1String(LoopbackModelServer::modelName)},
                       true},
                      &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Soak soak(talvex, model,
              chord ? std::vector<std::uint32_t>{controlKey, altKey}
                    : std::vector<std::uint32_t>{controlKey, shiftKey, spaceKey},
              *wav);
    std::printf("%d dictations, shortcut %s, Clean up with a loopback model\n", dictations,
                chord ? "Ctrl+Alt (chord)" : "Ctrl+Shift+Space");
    const Resources start = resourcesOf(talvex.pid());
    std::printf("at start: RSS %.1f MiB, %d fds, %d threads\n", start.rssMiB, start.fds, start.threads);

    // An fd or thread may be open for a moment when a sample is taken (a model probe, a save): the
    // steady count is the lowest of ten samples, dictations 11-20 against the last ten.
    std::vector<Resources> samples;
    Resources peak = start;
    int completed = 0;
    for (int i = 0; i < dictations; ++i) {
        if (!soak.run(i, Kind(i % kinds)))
            break;
        ++completed;
        const Resources now = resourcesOf(talvex.pid());
        samples.push_back(now);
        peak.rssMiB = std::max(peak.rssMiB, now.rssMiB);
        peak.fds = std::max(peak.fds, now.fds);
        peak.threads = std::max(peak.threads, now.threads);
        if (completed % 20 == 0 || completed == dictations) {
            std::printf("after %3d: RSS %.1f MiB, %d fds, %d threads\n", completed, now.rssMiB, now.fds,
                        now.threads);
            std::fflush(stdout);
        }
    }
    std::printf("outcomes:");
    for (const auto &[outcome, count] : soak.outcomes())
        std::printf(" %s x%d;", qPrintable(outcome), count);
    std::printf("\ncompleted %d of %d dictations, %lld transcripts kept\n", completed, dictations,
                static_cast<long long>(soak.delivered()));
    const auto steadyOver = [&](std::size_t from, std::size_t to) {
        Resources low = samples[from];
        for (std::size_t i = from; i < to; ++i) {
            low.fds = std::min(low.fds, samples[i].fds);
            low.threads = std::min(low.threads, samples[i].threads);
        }
        low.rssMiB = samples[to - 1].rssMiB;
        return low;
    };
    bool steady = false;
    if (samples.size() >= 30) {
        const Resources baseline = steadyOver(10, 20);
        const Resources last = steadyOver(samples.size() - 10, samples.size());
        std::printf("after the first 20: RSS %+.2f MiB (%.1f -> %.1f, peak %.1f), fds %d -> %d (peak %d), "
                    "threads %d -> %d (peak %d)\n",
                    last.rssMiB - baseline.rssMiB, baseline.rssMiB, last.rssMiB, peak.rssMiB, baseline.fds,
                    last.fds, peak.fds, baseline.threads, last.threads, peak.threads);
        steady = last.rssMiB - baseline.rssMiB < 5.0 && last.fds == baseline.fds &&
                 last.threads == baseline.threads;
    } else {
        std::printf("fewer than 30 dictations: no steady-state comparison\n");
    }
    const bool stopped = talvex.stop();
    std::printf("%s\n", completed == dictations && steady && stopped ? "PASS" : "FAIL");
    return completed == dictations && steady && stopped ? 0 : 1;
}
