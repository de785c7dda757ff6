#include "DisplayLossNotice.h"

#include <cstdio>

namespace talvex {

namespace {

// A message handler is a plain function, so the handler it chains to lives at file scope; only
// one notice is installed at a time.
QtMessageHandler chained = nullptr;

void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (const auto sentence = DisplayLossNotice::sentenceFor(type, message)) {
        std::fprintf(stderr, "%s\n", sentence->toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    if (chained)
        chained(type, context, message);
}

} // namespace

DisplayLossNotice::DisplayLossNotice()
{
    m_previous = qInstallMessageHandler(handle);
    chained = m_previous;
}

DisplayLossNotice::~DisplayLossNotice()
{
    qInstallMessageHandler(m_previous);
    chained = nullptr;
}

std::optional<QString> DisplayLossNotice::sentenceFor(QtMsgType type, const QString &message)
{
    // Qt's wording, in both of its forms: "The X11 connection broke (error 1). Did the X11 server
    // die?" and "The X11 connection broke: <reason> (code 1)".
    if (type != QtWarningMsg || !message.startsWith(QLatin1String("The X11 connection broke")))
        return std::nullopt;
    return QStringLiteral(
        "Talvex lost its connection to the X display, so it has to quit. Start it again in a "
        "running desktop session.");
}

} // namespace talvex
