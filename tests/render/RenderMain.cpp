// Renders every window state offscreen into PNG files and prints where each went.
#include "RenderSink.h"
#include "Scenes.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    // Pictures must not depend on the desktop the tool happens to run in.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString folderPath = arguments.value(0, QStringLiteral("renders"));
    const QString filter = arguments.value(1);

    QDir folder(folderPath);
    if (!folder.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "Could not create the folder " << folderPath << Qt::endl;
        return 1;
    }
    talvex::render::RenderSink sink(folder, filter);
    talvex::render::renderSettings(sink);
    talvex::render::renderOverlay(sink);
    talvex::render::renderOnboarding(sink);

    QTextStream out(stdout);
    for (const QString &path : sink.written())
        out << QDir(path).absolutePath() << Qt::endl;
    return sink.failures() == 0 ? 0 : 1;
}
