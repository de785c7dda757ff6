// A small Qt program to paste into. One text field; answers commands on stdin, one per line:
//   text       -> "text:<the field's text>"
//   clipboard  -> "clipboard:<format>=<size>,..." for the clipboard as this program reads it
//   keys       -> "keys:<key presses received>" and "shortcut:<times Alt+V fired>"
// With --seed-clipboard it first puts an image and HTML on the clipboard; with --second-window it
// also shows a window "<title> 2" with a field of its own. The window title is the first other
// argument. Prints "ready" once the window is shown.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTextStream>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

namespace {

class KeyCounter final : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType())
            ++presses;
        return false;
    }
};

void reply(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    QString title = QStringLiteral("Delivery target");
    for (const QString &argument : arguments)
        if (!argument.startsWith(QLatin1String("--")))
            title = argument;

    if (arguments.contains(QStringLiteral("--seed-clipboard"))) {
        QImage image(16, 8, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        auto *data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png);
        data->setHtml(QStringLiteral("<p>previous <b>clipboard</b></p>"));
        QGuiApplication::clipboard()->setMimeData(data);
    }

    QWidget window;
    window.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&window);
    auto *field = new QLineEdit;
    field->setObjectName(QStringLiteral("field"));
    layout->addWidget(field);
    // A second field, for focus that moves inside one window (Tab).
    auto *other = new QLineEdit;
    other->setObjectName(QStringLiteral("other"));
    layout->addWidget(other);
    window.resize(420, 120);

    int shortcutFired = 0;
    auto *altV = new QShortcut(QKeySequence(QStringLiteral("Alt+V")), &window);
    QObject::connect(altV, &QShortcut::activated, [&shortcutFired] { ++shortcutFired; });
    KeyCounter counter;
    app.installEventFilter(&counter);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[256] = {};
        if (!std::fgets(line, sizeof line, stdin)) {
            app.quit();
            return;
        }
        const QString command = QString::fromUtf8(line).trimmed();
        if (command == QLatin1String("text")) {
            reply(QStringLiteral("text:") + field->text());
        } else if (command == QLatin1String("clipboard")) {
            QStringList formats;
            const QMimeData *data = QGuiApplication::clipboard()->mimeData();
            for (const QString &format : data ? data->formats() : QStringList())
                formats << format + QLatin1Char('=') + QString::number(data->data(format).size());
            reply(QStringLiteral("clipboard:") + formats.join(QLatin1Char(',')));
        } else if (command == QLatin1String("keys")) {
            reply(QStringLiteral("keys:") + QString::number(counter.presses));
            reply(QStringLiteral("shortcut:") + QString::number(shortcutFired));
        }
    });

    // Another window of the same program, for focus that moves between its windows.
    QWidget second;
    second.setWindowTitle(title + QStringLiteral(" 2"));
    auto *secondLayout = new QVBoxLayout(&second);
    secondLayout->addWidget(new QLineEdit);
    second.resize(420, 80);
    if (arguments.contains(QStringLiteral("--second-window")))
        second.show();

    window.show();
    field->setFocus();
    reply(QStringLiteral("ready"));
    return app.exec();
}
