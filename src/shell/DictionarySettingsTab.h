#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QVBoxLayout;

namespace talvex {

class DictationController;

/// The "Dictionary" tab: the custom vocabulary and the word replacements. Every edit is stored
/// at once through the controller's preferences.
class DictionarySettingsTab final : public QWidget {
    Q_OBJECT

  public:
    explicit DictionarySettingsTab(DictationController &controller, QWidget *parent = nullptr);

  private:
    QWidget *vocabularySection();
    QWidget *replacementsSection();
    void refreshVocabulary();
    void refreshReplacements();
    void addReplacement();

    DictationController &m_controller;
    QPlainTextEdit *m_vocabulary = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_note = nullptr;
    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    /// Replacement ids in the order their rows stand; rows are rebuilt only when this changes.
    QList<QUuid> m_rowIDs;
    bool m_rowsBuilt = false;
};

} // namespace talvex
