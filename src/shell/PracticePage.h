#pragma once

#include <QCoro/QCoroTask>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace talvex {

class Clock;
class DictationController;
class StatusRowView;

/// The practice step: a text field of the window's own that dictations go to while the step shows,
/// the state of the latest practice dictation or paste test, the latest paste into another
/// application, and where each one's time went between the release and the text.
class PracticePage final : public QWidget {
    Q_OBJECT

  public:
    /// `clock` times the short wait before a paste test; null waits on a Qt timer.
    PracticePage(DictationController &controller, Clock *clock, QWidget *parent = nullptr);

    QPlainTextEdit &field() const { return *m_field; }
    QString practiceText() const;
    StatusRowView &testRow() const { return *m_test; }
    QPushButton &testPasteButton() const { return *m_testPaste; }
    /// The shown timing lines (practice, then another app), empty where hidden.
    QStringList timingLines() const;
    /// The "Last paste in another app" line, empty while hidden.
    QString lastPasteLine() const;

  private:
    QCoro::Task<> testPaste();
    void refresh();
    void refreshInstruction();

    DictationController &m_controller;
    Clock *m_clock;
    QLabel *m_instruction = nullptr;
    QPlainTextEdit *m_field = nullptr;
    QPushButton *m_testPaste = nullptr;
    StatusRowView *m_test = nullptr;
    QLabel *m_practiceTiming = nullptr;
    QLabel *m_lastPaste = nullptr;
    QLabel *m_otherTiming = nullptr;
};

} // namespace talvex
