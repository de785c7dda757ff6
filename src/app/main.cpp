// Entry point. For now it runs the headless commands; the desktop application joins here later.
#include "SphinxSpeechService.h"
#include "TranscribeCommand.h"

#include <QCoreApplication>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <cstdio>

namespace {

QCoro::Task<> transcribe(talvex::TranscribeCommand::Options options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    talvex::SphinxSpeechService speech;
    const int code = co_await talvex::TranscribeCommand::run(std::move(options), speech, nullptr, out, err);
    QCoreApplication::exit(code);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvex"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream err(stderr);
    if (arguments.value(0) != QLatin1String("transcribe")) {
        err << talvex::TranscribeCommand::usage() << Qt::endl;
        return talvex::TranscribeCommand::unusable;
    }
    auto parsed = talvex::TranscribeCommand::parse(arguments.mid(1));
    if (auto *problem = std::get_if<QString>(&parsed)) {
        err << *problem << Qt::endl << talvex::TranscribeCommand::usage() << Qt::endl;
        return talvex::TranscribeCommand::unusable;
    }
    QTimer::singleShot(0, [options = std::get<talvex::TranscribeCommand::Options>(parsed)] { transcribe(options); });
    return app.exec();
}
