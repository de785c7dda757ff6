// render-icon SVG SIZE PNG: draws the application icon at one size for the fixed-size hicolor
// folders, which desktops without an SVG loader (and some docks and window switchers) read.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextStream>
#include <cstdlib>

namespace {

int fail(const QString &problem)
{
    QTextStream(stderr) << "render-icon: " << problem << Qt::endl;
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return fail(QStringLiteral("usage: render-icon SVG SIZE PNG"));
    const QString svg = QFile::decodeName(argv[1]);
    bool sizeRead = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&sizeRead);
    const QString png = QFile::decodeName(argv[3]);
    if (!sizeRead || size < 1 || size > 1024)
        return fail(QStringLiteral("%1 is not a size in pixels").arg(QString::fromLocal8Bit(argv[2])));

    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return fail(QStringLiteral("%1 is not a readable SVG picture").arg(svg));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    // Whole or not at all: a half-written icon would be installed as it stands.
    QSaveFile file(png);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        return fail(QStringLiteral("%1 could not be written: %2").arg(png, file.errorString()));
    return EXIT_SUCCESS;
}
