// The library writer in a process of its own, for the kill test: starts as Talvex does (removes what
// an interrupted save left, reads the library), then saves one edit after another until killed.
//   talvex_library_writer <library path> <seed> <first step> [--start-only]
// Prints "ready" once started, then the number of edits on disk after each save that returned.
#include "LibraryEdits.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace talvex;

namespace {

void say(const std::string &line)
{
    const std::string text = line + '\n';
    // Unbuffered: what was said before the kill must reach the test.
    [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, text.data(), text.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: %s PATH SEED FIRST-STEP [--start-only]\n", argv[0]);
        return 2;
    }
    const QString path = arguments.at(1);
    const test::LibraryEdits edits(arguments.at(2).toULongLong());
    std::int64_t step = arguments.at(3).toLongLong();

    Library::removeInterruptedWrites(path);
    QFile file(path);
    QString error;
    std::optional<Library> library;
    if (file.open(QIODevice::ReadOnly))
        library = Library::read(file.readAll(), &error);
    if (!library) {
        say("unreadable: " + error.toStdString());
        return 3;
    }
    file.close();
    say("ready");
    if (arguments.contains(QStringLiteral("--start-only")))
        return 0;

    for (;; ++step) {
        edits.apply(*library, step);
        if (!library->write(path, &error)) {
            say("failed: " + error.toStdString());
            return 4;
        }
        say(std::to_string(step + 1));
    }
}
