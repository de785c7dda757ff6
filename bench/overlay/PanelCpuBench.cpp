// CPU time the recorder panel costs while it animates, and that it costs nothing once hidden. Run
// inside the private desktop:
//   scripts/with-desktop -- build/release/bench/overlay/bench_overlay_cpu [seconds]   (default 20)
//
// 1. This process on the X server: the panel recording, fed speech-like waveform frames 24 times a
//    second (as the microphone tap hands them out) and a transcript that grows by a word every
//    0.4 s; first shown, then hidden with the same frames still arriving. The difference is what
//    drawing the panel costs beyond the recording. The X server's own time is shown beside it.
// 2. The whole application: talvex recording hands-free while flite speech plays into the
//    microphone, panel animating; then idle with the panel hidden, counted in clock ticks.
#include "DictationHarness.h"
#include "overlay/CompositorProbe.h"
#include "overlay/NonactivatingRecorder.h"
#include "overlay/PanelPlacement.h"
#include "overlay/QtScreenSource.h"
#include "overlay/RecorderView.h"
#include "platform/SteadyClock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <unistd.h>

using namespace talvex;
using namespace talvex::e2e;

namespace {

constexpr std::uint32_t controlKey = 0xffe3, shiftKey = 0xffe1, spaceKey = 0x20;
const QString sentence =
    QStringLiteral("The weather is nice today. I will send the report to my manager tomorrow morning.");

// utime + stime of process `pid` in clock ticks; -1 when it cannot be read.
long long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

double ticksPerSecond()
{
    return double(sysconf(_SC_CLK_TCK));
}

// The Xvfb of this private desktop: the one that carries our TALVEX_TEST_TMP.
qint64 xServerPid()
{
    const QByteArray marker = "TALVEX_TEST_TMP=" + qgetenv("TALVEX_TEST_TMP");
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "Xvfb" &&
            environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker))
            return pid;
    }
    return -1;
}

// Runs the event loop for `seconds` and returns the CPU seconds `pids` used meanwhile.
std::vector<double> cpuOver(double seconds, const std::vector<qint64> &pids)
{
    std::vector<long long> before;
    for (const qint64 pid : pids)
        before.push_back(cpuTicks(pid));
    waitFor([] { return false; }, std::chrono::milliseconds(qint64(seconds * 1000)),
            std::chrono::milliseconds(250));
    std::vector<double> used;
    for (std::size_t i = 0; i < pids.size(); ++i)
        used.push_back(double(cpuTicks(pids[i]) - before[i]) / ticksPerSecond());
    return used;
}

// Frames as the tap hands them out: three new columns each time, the newest stamped just now.
class FrameFeed final {
  public:
    explicit FrameFeed(RecorderView &view) : m_view(view), m_frame(WaveformFrame::silence())
    {
        QObject::connect(&m_frames, &QTimer::timeout, [this] { next(); });
        QObject::connect(&m_words, &QTimer::timeout, [this] {
            m_text += (m_text.isEmpty() ? QString() : QStringLiteral(" ")) +
                      QStringLiteral("word%1").arg(++m_count);
            m_view.setLiveText(m_text);
        });
        m_frames.setTimerType(Qt::PreciseTimer);
        m_frames.start(42);
        m_words.start(400);
    }

  private:
    void next()
    {
        for (int i = 0; i < 3; ++i) {
            m_frame.peaks.erase(m_frame.peaks.begin());
            const double phase = double(m_column++);
            const float level = float(0.25 * std::pow(std::abs(std::sin(phase * 0.3)), 2) *
                                      (0.5 + 0.5 * std::abs(std::sin(phase * 0.05))));
            m_frame.peaks.push_back(WaveformPeak{-level, level});
        }
        // Stamped as the tap stamps them: from the first sample's time and the columns written.
        m_frame.newestTime = m_start + m_frame.columnDuration * (double(m_column) - 0.5);
        m_view.setWaveform(m_frame);
    }

    RecorderView &m_view;
    WaveformFrame m_frame;
    QTimer m_frames;
    QTimer m_words;
    QString m_text;
    int m_count = 0;
    long m_column = 0;
    double m_start = SteadyClock::monotonicSeconds();
};

void panelInThisProcess(double seconds)
{
    NonactivatingRecorder window(nullptr);
    const bool translucent = CompositorProbe::active();
    window.setTranslucent(translucent);
    const auto frame = PanelPlacement::frame(QtScreenSource(), std::nullopt, window.size());
    if (!frame) {
        std::fprintf(stderr, "no screen\n");
        return;
    }
    window.setGeometry(*frame);
    window.view()->setPhase(Phase::recording);
    FrameFeed feed(*window.view());
    const std::vector<qint64> pids{QCoreApplication::applicationPid(), xServerPid()};

    window.show();
    window.raise();
    const auto shown = cpuOver(seconds, pids);
    window.hide();
    const auto hidden = cpuOver(seconds, pids);

    std::printf("1. panel in this process, %s, %.0f s each, 24 frames/s and a word every 0.4 s:\n",
                translucent ? "translucent" : "opaque and masked (no compositor)", seconds);
    std::printf("   shown:  this process %.2f %% of a core, X server %.2f %%\n", 100 * shown[0] / seconds,
                100 * shown[1] / seconds);
    std::printf("   hidden: this process %.2f %% of a core, X server %.2f %%\n", 100 * hidden[0] / seconds,
                100 * hidden[1] / seconds);
    std::printf("   the panel's own cost: %.2f %% of a core (X server %+.2f %%)\n",
                100 * (shown[0] - hidden[0]) / seconds, 100 * (shown[1] - hidden[1]) / seconds);
    std::fflush(stdout);
}

int wholeApplication(double seconds)
{
    const auto wav = speechFile(sentence);
    if (!wav) {
        std::fprintf(stderr, "flite could not speak the sentence\n");
        return 1;
    }
    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
    QString error;
    // No language model: its availability probe would add work that is not the panel's.
    if (!talvex.start({std::nullopt, {QStringLiteral("TALVEX_LLM_URL=off")}, false}, &error) ||
        !target.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    auto tap = [&] {
        for (const std::uint32_t key : {controlKey, shiftKey, spaceKey})
            keys.press(key);
        for (const std::uint32_t key : {spaceKey, shiftKey, controlKey})
            keys.release(key);
    };
    const std::size_t first = talvex.lines().size();
    tap();
    if (!talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first)) {
        std::fprintf(stderr, "the dictation never started recording\n%s\n", qPrintable(talvex.log()));
        return 1;
    }
    const long long before = cpuTicks(talvex.pid());
    const double start = monotonicNow();
    while (monotonicNow() - start < seconds)
        play(*wav);
    const double recorded = monotonicNow() - start;
    const long long during = cpuTicks(talvex.pid()) - before;
    tap();
    if (!talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase idle"), first,
                            std::chrono::seconds(120))) {
        std::fprintf(stderr, "the dictation never ended\n%s\n", qPrintable(talvex.log()));
        return 1;
    }
    // Let the delivery's last steps (clipboard given back) finish before counting.
    waitFor([] { return false; }, std::chrono::seconds(2));
    const long long idleBefore = cpuTicks(talvex.pid());
    waitFor([] { return false; }, std::chrono::milliseconds(qint64(seconds * 1000)),
            std::chrono::milliseconds(500));
    const long long idle = cpuTicks(talvex.pid()) - idleBefore;

    std::printf("2. talvex recording hands-free with the panel animating, %.0f s of speech:\n", recorded);
    std::printf("   %.1f %% of a core (recognition included)\n",
                100 * double(during) / ticksPerSecond() / recorded);
    std::printf("   idle with the panel hidden, %.0f s: %lld CPU ticks (%.0f per second)\n", seconds, idle,
                ticksPerSecond());
    target.finish(keys);
    return talvex.stop() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop -- %s\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 20.0;
    panelInThisProcess(seconds);
    return wholeApplication(seconds);
}
