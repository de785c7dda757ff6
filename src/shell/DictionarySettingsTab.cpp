#include "DictionarySettingsTab.h"

#include "PreferenceEdits.h"
#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "SettingsTexts.h"
#include "core/DictationController.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvex {

namespace {

constexpr int vocabularyHeight = 132;

/// A line edit that shows `text` without disturbing the caret of someone typing in it.
void showText(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}

} // namespace

DictionarySettingsTab::DictionarySettingsTab(DictationController &controller, QWidget *parent)
    : QWidget(parent), m_controller(controller)
{
    QVBoxLayout *column = SettingsLayout::scrollingColumn(this);
    column->addWidget(vocabularySection());
    column->addWidget(replacementsSection());
    column->addStretch(1);

    connect(&m_controller, &DictationController::libraryChanged, this, [this] {
        refreshVocabulary();
        refreshReplacements();
    });
    refreshVocabulary();
    refreshReplacements();
}

QWidget *DictionarySettingsTab::vocabularySection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Vocabulary"), this);
    QFormLayout *form = SettingsLayout::form(section);
    form->addRow(
        SettingsLayout::bodyText(QStringLiteral("Add names, spellings, or phrases one per line. Talvex sends "
                                                "them as hints to the speech recognizer when you dictate."),
                                 section));
    m_vocabulary = new QPlainTextEdit(section);
    m_vocabulary->setAccessibleName(QStringLiteral("Custom vocabulary"));
    m_vocabulary->setFixedHeight(vocabularyHeight);
    m_vocabulary->setTabChangesFocus(true);
    m_vocabulary->setLineWrapMode(QPlainTextEdit::NoWrap);
    form->addRow(m_vocabulary);

    m_count = new QLabel(section);
    m_note = SettingsLayout::secondaryText(QString(), section);
    auto *import = new QPushButton(QStringLiteral("Import Word List\u2026"), section);
    import->setAutoDefault(false);
    const QString help = QStringLiteral(
        "Import a text or CSV file. Separate entries with new lines, commas, semicolons, or tabs.");
    import->setToolTip(help);
    import->setAccessibleDescription(help);
    QBoxLayout *line = SettingsLayout::row();
    line->addWidget(m_count);
    line->addStretch(1);
    line->addWidget(import);
    form->addRow(line);
    form->addRow(m_note);

    connect(m_vocabulary, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_vocabulary->toPlainText();
        if (text == m_controller.preferences().vocabulary)
            return;
        Preferences preferences = m_controller.preferences();
        preferences.vocabulary = text;
        m_controller.setPreferences(preferences);
    });
    connect(import, &QPushButton::clicked, &m_controller, &DictationController::importWordList);
    return section;
}

QWidget *DictionarySettingsTab::replacementsSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Replacements"), this);
    QFormLayout *form = SettingsLayout::form(section);
    auto *add = new QPushButton(SettingsIcons::icon(QStringLiteral("list-add"), QStringLiteral("plus")),
                                QStringLiteral("Add replacement"), section);
    add->setAutoDefault(false);
    QBoxLayout *line = SettingsLayout::row();
    line->addWidget(add);
    line->addStretch(1);
    form->addRow(line);

    m_rows = new QWidget(section);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(6);
    form->addRow(m_rows);
    connect(add, &QPushButton::clicked, this, &DictionarySettingsTab::addReplacement);
    return section;
}

void DictionarySettingsTab::refreshVocabulary()
{
    const Preferences &preferences = m_controller.preferences();
    // Setting the same text again would move the caret of someone typing.
    if (m_vocabulary->toPlainText() != preferences.vocabulary)
        m_vocabulary->setPlainText(preferences.vocabulary);
    const qsizetype entries = preferences.vocabularyEntries().size();
    m_count->setText(SettingsTexts::vocabularyCount(entries));
    const std::optional<QString> note = SettingsTexts::vocabularyNote(entries);
    m_note->setText(note.value_or(QString()));
    m_note->setVisible(note.has_value());
}

void DictionarySettingsTab::refreshReplacements()
{
    const QList<WordReplacement> &replacements = m_controller.preferences().replacements;
    QList<QUuid> ids;
    for (const WordReplacement &replacement : replacements)
        ids << replacement.id;

    if (!m_rowsBuilt || ids != m_rowIDs) {
        m_rowsBuilt = true;
        m_rowIDs = ids;
        const bool hadFocus = m_rows->isAncestorOf(QApplication::focusWidget());
        while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        for (const WordReplacement &replacement : replacements) {
            const QUuid id = replacement.id;
            auto *row = new QWidget(m_rows);
            row->setObjectName(id.toString(QUuid::WithoutBraces));
            QBoxLayout *layout = SettingsLayout::row();
            row->setLayout(layout);
            const auto field = [row](const QString &name, const QString &label) {
                auto *edit = new QLineEdit(row);
                edit->setObjectName(name);
                edit->setPlaceholderText(label);
                edit->setAccessibleName(label);
                return edit;
            };
            QLineEdit *spoken = field(QStringLiteral("spoken"), QStringLiteral("Spoken text"));
            auto *arrow = new QLabel(row);
            arrow->setPixmap(
                SettingsIcons::icon(QStringLiteral("go-next"), QStringLiteral("arrow.right")).pixmap(16, 16));
            arrow->setAccessibleName(QStringLiteral("becomes"));
            QLineEdit *written = field(QStringLiteral("written"), QStringLiteral("Replace with"));
            QToolButton *remove = SettingsLayout::removeButton(QStringLiteral("Replacement"), row);
            layout->addWidget(spoken, 1);
            layout->addWidget(arrow);
            layout->addWidget(written, 1);
            layout->addWidget(remove);
            m_rowsLayout->addWidget(row);

            connect(spoken, &QLineEdit::textEdited, this, [this, id](const QString &text) {
                m_controller.setPreferences(
                    PreferenceEdits::withReplacementSpoken(m_controller.preferences(), id, text));
            });
            connect(written, &QLineEdit::textEdited, this, [this, id](const QString &text) {
                m_controller.setPreferences(
                    PreferenceEdits::withReplacementWritten(m_controller.preferences(), id, text));
            });
            connect(remove, &QToolButton::clicked, this, [this, id] {
                m_controller.setPreferences(
                    PreferenceEdits::withoutReplacement(m_controller.preferences(), id));
            });
        }
        m_rows->setVisible(!replacements.isEmpty());
        if (hadFocus && !replacements.isEmpty())
            m_rows->findChildren<QLineEdit *>().constLast()->setFocus();
    }

    // Texts changed elsewhere (a restored backup) show without rebuilding the rows being typed in.
    for (const WordReplacement &replacement : replacements) {
        auto *row = m_rows->findChild<QWidget *>(replacement.id.toString(QUuid::WithoutBraces));
        if (!row)
            continue;
        showText(row->findChild<QLineEdit *>(QStringLiteral("spoken")), replacement.spoken);
        showText(row->findChild<QLineEdit *>(QStringLiteral("written")), replacement.written);
    }
}

void DictionarySettingsTab::addReplacement()
{
    QUuid id;
    m_controller.setPreferences(PreferenceEdits::withNewReplacement(m_controller.preferences(), &id));
    // The new row's first field takes the keyboard, ready for typing.
    if (auto *row = m_rows->findChild<QWidget *>(id.toString(QUuid::WithoutBraces)))
        row->findChild<QLineEdit *>(QStringLiteral("spoken"))->setFocus();
}

} // namespace talvex
