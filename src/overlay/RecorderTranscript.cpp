#include "RecorderTranscript.h"

#include <QEvent>
#include <QPainter>
#include <QTextLine>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace talvex {

namespace {

// Dark colour scheme: primary and secondary label colours.
const QColor primaryText(255, 255, 255, 217);
const QColor secondaryText(255, 255, 255, 140);

// QTextLayout keeps line breaks only as Unicode line separators.
QString forLayout(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return text;
}

// Lays `text` out wrapped at `width` (anywhere when a word is wider than the line); returns the
// height of all its lines.
qreal layOut(QTextLayout &layout, const QString &text, const QFont &font, qreal width)
{
    layout.setText(forLayout(text));
    layout.setFont(font);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

} // namespace

RecorderTranscript::RecorderTranscript(QWidget *parent) : QWidget(parent)
{
    // Shown, never touched: no focus, no scrolling, clicks fall through to the card.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refresh();
}

RecorderTranscript::~RecorderTranscript() = default;

void RecorderTranscript::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    refresh();
}

void RecorderTranscript::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    refresh();
}

QFont RecorderTranscript::shownFont() const
{
    QFont chosen = font();
    chosen.setPixelSize(fontPixelSize);
    chosen.setWeight(m_text.isEmpty() ? QFont::Normal : QFont::Medium);
    return chosen;
}

void RecorderTranscript::refresh()
{
    m_layout.reset();
    setFixedHeight(areaHeight());
    setAccessibleName(m_text.isEmpty() ? m_status : QStringLiteral("Live transcript: ") + m_text);
    update();
}

void RecorderTranscript::relayout() const
{
    if (m_layout)
        return;
    m_layout = std::make_unique<QTextLayout>();
    // Before the first layout pass the width is unknown; one long line is the honest answer then.
    const qreal lineWidth = width() > 0 ? qreal(width()) : 1e6;
    m_layoutHeight = layOut(*m_layout, shown(), shownFont(), lineWidth);
}

int RecorderTranscript::areaHeight() const
{
    QTextLayout placeholder;
    const QString threeLines = QStringList(lineCount, QStringLiteral("Ag")).join(QLatin1Char('\n'));
    return int(std::ceil(layOut(placeholder, threeLines, shownFont(), 1e6)));
}

qreal RecorderTranscript::offset() const
{
    relayout();
    return std::min<qreal>(0, qreal(height()) - m_layoutHeight);
}

QStringList RecorderTranscript::lines() const
{
    relayout();
    QStringList all;
    const QString text = m_layout->text();
    for (int i = 0; i < m_layout->lineCount(); ++i) {
        const QTextLine line = m_layout->lineAt(i);
        all << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    return all;
}

QStringList RecorderTranscript::visibleLines() const
{
    const qreal shift = offset();
    const QStringList all = lines();
    QStringList visible;
    for (int i = 0; i < m_layout->lineCount(); ++i) {
        const QTextLine line = m_layout->lineAt(i);
        const qreal top = line.y() + shift;
        // A line counts as shown when at least half of it is inside the area.
        if (top + line.height() / 2 >= 0 && top + line.height() / 2 <= height())
            visible << all.at(i);
    }
    return visible;
}

QSize RecorderTranscript::sizeHint() const
{
    return QSize(300, areaHeight());
}

QSize RecorderTranscript::minimumSizeHint() const
{
    return QSize(40, areaHeight());
}

void RecorderTranscript::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(rect());
    painter.setPen(m_text.isEmpty() ? secondaryText : primaryText);
    relayout();
    m_layout->draw(&painter, QPointF(0, offset()));
}

void RecorderTranscript::resizeEvent(QResizeEvent *event)
{
    m_layout.reset();
    QWidget::resizeEvent(event);
}

void RecorderTranscript::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        refresh();
    QWidget::changeEvent(event);
}

} // namespace talvex
