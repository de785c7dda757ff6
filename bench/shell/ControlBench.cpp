// Wall time of the talvex command line against a running Talvex, from starting the process to its
// end: a dictation command (`talvex stop` while idle, which does nothing but answer), a second
// launch handing over (`talvex`, which shows onboarding), and a login-time second launch that only
// finds the running one (`talvex --autostart`). Run inside the private desktop:
//   scripts/with-desktop -- build/<dir>/bench/shell/bench_control [runs]   (default 20)
#include "DictationHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

using namespace talvex::e2e;

namespace {

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const auto low = std::size_t(rank);
    const std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

/// Milliseconds from start to end of one talvex command; negative when it failed.
double timed(const QStringList &arguments)
{
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.start(QStringLiteral(TALVEX_EXECUTABLE), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    TalvexProcess talvex;
    QString error;
    if (!talvex.start({}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const std::vector<std::pair<const char *, QStringList>> commands{
        {"talvex stop (idle)", {QStringLiteral("stop")}},
        {"talvex (hand-over)", {}},
        {"talvex --autostart", {QStringLiteral("--autostart")}},
    };
    std::printf("%-22s %8s %8s %8s   (ms, %d runs each)\n", "command", "median", "p90", "max", runs);
    for (const auto &[name, arguments] : commands) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const double ms = timed(arguments);
            if (ms < 0) {
                std::fprintf(stderr, "%s failed\n%s\n", name, qPrintable(talvex.log()));
                return 1;
            }
            times.push_back(ms);
        }
        std::printf("%-22s %8.1f %8.1f %8.1f\n", name, percentile(times, 0.5), percentile(times, 0.9),
                    *std::max_element(times.begin(), times.end()));
    }
    return talvex.stop() ? 0 : 1;
}
