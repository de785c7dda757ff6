#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextLayout>
#include <QWidget>
#include <memory>

namespace talvex {

/// The recorder's text area: exactly three lines high, showing the live transcript (or, while there
/// is none, the phase sentence dimmed). Text wraps to the width and is never cut short; when it
/// grows past three lines the newest lines stay in view and older ones leave at the top. It cannot
/// be scrolled or clicked, and reads as one static text to a screen reader.
class RecorderTranscript final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int fontPixelSize = 13;
    static constexpr int lineCount = 3;

    explicit RecorderTranscript(QWidget *parent = nullptr);
    ~RecorderTranscript() override;

    void setText(const QString &text);
    void setStatus(const QString &status);
    const QString &text() const { return m_text; }
    const QString &status() const { return m_status; }

    /// What is shown: the text when there is one, else the status.
    const QString &shown() const { return m_text.isEmpty() ? m_status : m_text; }
    /// The font of what is shown: medium weight for text, regular for the status.
    QFont shownFont() const;
    /// The wrapped lines of what is shown, all of them, at the current width.
    QStringList lines() const;
    /// The wrapped lines inside the visible area (the last three when there are more).
    QStringList visibleLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    void refresh();
    void relayout() const;
    /// Height of three lines in the shown font: what "Ag" on three lines takes.
    int areaHeight() const;
    /// Vertical offset of the text: 0 when it fits, else negative so its last line ends at the bottom.
    qreal offset() const;

    QString m_text;
    QString m_status;
    mutable std::unique_ptr<QTextLayout> m_layout; ///< laid out on demand for the current width
    mutable qreal m_layoutHeight = 0;
};

} // namespace talvex
