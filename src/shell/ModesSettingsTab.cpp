#include "ModesSettingsTab.h"

#include "ApplicationChooser.h"
#include "PreferenceEdits.h"
#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "core/DictationController.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvex {

namespace {

void fillModes(QComboBox *picker)
{
    for (const WritingMode mode : allWritingModes)
        picker->addItem(writingModeString(mode), int(mode));
}

} // namespace

ModesSettingsTab::ModesSettingsTab(DictationController &controller, const SettingsServices &services,
                                   QWidget *parent)
    : QWidget(parent), m_controller(controller), m_services(services)
{
    QVBoxLayout *column = SettingsLayout::scrollingColumn(this);
    column->addWidget(defaultModeSection());
    column->addWidget(appModesSection());
    column->addStretch(1);

    connect(&m_controller, &DictationController::libraryChanged, this, [this] {
        refreshMode();
        refreshRules();
    });
    refreshMode();
    refreshRules();
    refreshAdd();
}

QWidget *ModesSettingsTab::defaultModeSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Default mode"), this);
    QFormLayout *form = SettingsLayout::form(section);
    // The picker with its description under it, as one field of the form.
    auto *field = new QWidget(section);
    auto *fieldLayout = new QVBoxLayout(field);
    fieldLayout->setContentsMargins(0, 0, 0, 0);
    fieldLayout->setSpacing(6);
    m_mode = new QComboBox(field);
    m_mode->setAccessibleName(QStringLiteral("Writing mode"));
    fillModes(m_mode);
    m_description = SettingsLayout::secondaryText(QString(), field);
    fieldLayout->addWidget(m_mode, 0, Qt::AlignLeft);
    fieldLayout->addWidget(m_description);
    field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    form->addRow(QStringLiteral("Writing mode"), field);
    if (auto *label = qobject_cast<QLabel *>(form->labelForField(field)))
        label->setBuddy(m_mode);
    connect(m_mode, &QComboBox::activated, this, [this](int row) {
        const auto mode = WritingMode(m_mode->itemData(row).toInt());
        Preferences preferences = m_controller.preferences();
        if (preferences.mode == mode)
            return;
        preferences.mode = mode;
        m_controller.setPreferences(preferences);
    });
    return section;
}

QWidget *ModesSettingsTab::appModesSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Modes by app"), this);
    QFormLayout *form = SettingsLayout::form(section);
    form->addRow(SettingsLayout::bodyText(
        QStringLiteral(
            "Set a different mode for apps you dictate into. These rules use an app\u2019s application ID."),
        section));

    m_ruleApp = new QLineEdit(section);
    m_ruleApp->setPlaceholderText(QStringLiteral("e.g. org.gnome.TextEditor"));
    m_ruleApp->setAccessibleName(QStringLiteral("Application ID"));
    m_ruleApp->setClearButtonEnabled(true);
    form->addRow(QStringLiteral("Application ID"), m_ruleApp);

    m_ruleMode = new QComboBox(section);
    m_ruleMode->setAccessibleName(QStringLiteral("Mode"));
    fillModes(m_ruleMode);
    auto *choose = new QPushButton(QStringLiteral("Choose App\u2026"), section);
    choose->setAutoDefault(false);
    choose->setEnabled(m_services.applications != nullptr);
    m_add = new QPushButton(QStringLiteral("Add"), section);
    m_add->setAutoDefault(false);
    QBoxLayout *entry = SettingsLayout::row();
    entry->addWidget(m_ruleMode);
    entry->addStretch(1);
    entry->addWidget(choose);
    entry->addWidget(m_add);
    form->addRow(QStringLiteral("Mode"), entry);

    m_rules = new QWidget(section);
    m_rulesLayout = new QVBoxLayout(m_rules);
    m_rulesLayout->setContentsMargins(0, 4, 0, 0);
    m_rulesLayout->setSpacing(2);
    form->addRow(m_rules);

    connect(m_ruleApp, &QLineEdit::textChanged, this, &ModesSettingsTab::refreshAdd);
    connect(m_ruleApp, &QLineEdit::returnPressed, this, &ModesSettingsTab::addRule);
    connect(m_add, &QPushButton::clicked, this, &ModesSettingsTab::addRule);
    connect(choose, &QPushButton::clicked, this, &ModesSettingsTab::chooseApp);
    return section;
}

void ModesSettingsTab::refreshMode()
{
    const WritingMode mode = m_controller.preferences().mode;
    m_mode->setCurrentIndex(m_mode->findData(int(mode)));
    m_description->setText(writingModeDescription(mode));
}

void ModesSettingsTab::refreshRules()
{
    const QMap<QString, WritingMode> &rules = m_controller.preferences().appModes;
    if (m_rulesShown && rules == m_shownRules)
        return;
    m_rulesShown = true;
    m_shownRules = rules;
    // A button that had focus goes with its row; keep keyboard users in the section.
    const bool hadFocus = m_rules->isAncestorOf(QApplication::focusWidget());
    while (QLayoutItem *item = m_rulesLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    // The map is ordered by application ID, in ascending string order.
    for (auto rule = rules.cbegin(); rule != rules.cend(); ++rule) {
        auto *row = new QWidget(m_rules);
        QBoxLayout *layout = SettingsLayout::row();
        row->setLayout(layout);
        auto *id = new QLabel(rule.key(), row);
        id->setObjectName(QStringLiteral("ruleApplication"));
        id->setTextFormat(Qt::PlainText);
        id->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *mode = SettingsLayout::secondaryText(writingModeString(rule.value()), row);
        mode->setWordWrap(false);
        QToolButton *remove = SettingsLayout::removeButton(rule.key(), row);
        layout->addWidget(id, 1);
        layout->addWidget(mode);
        layout->addWidget(remove);
        m_rulesLayout->addWidget(row);
        const QString applicationID = rule.key();
        connect(remove, &QToolButton::clicked, this, [this, applicationID] {
            m_controller.setPreferences(
                PreferenceEdits::withoutRule(m_controller.preferences(), applicationID));
        });
    }
    m_rules->setVisible(!rules.isEmpty());
    if (hadFocus)
        m_ruleApp->setFocus();
}

void ModesSettingsTab::refreshAdd()
{
    m_add->setEnabled(PreferenceEdits::canAddRule(m_ruleApp->text()));
}

void ModesSettingsTab::addRule()
{
    if (!PreferenceEdits::canAddRule(m_ruleApp->text()))
        return;
    const auto mode = WritingMode(m_ruleMode->currentData().toInt());
    m_controller.setPreferences(
        PreferenceEdits::withRule(m_controller.preferences(), m_ruleApp->text(), mode));
    m_ruleApp->clear();
}

void ModesSettingsTab::chooseApp()
{
    if (!m_services.applications)
        return;
    if (const auto id = ApplicationChooser::choose(*m_services.applications, this))
        m_ruleApp->setText(*id);
}

} // namespace talvex
