#include "ApplicationChooser.h"

#include "ApplicationChoices.h"
#include "SettingsIcons.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace talvex {

namespace {

constexpr int idRole = Qt::UserRole;

QIcon applicationIcon(const QString &icon)
{
    const QIcon generic =
        SettingsIcons::icon(QStringLiteral("application-x-executable"), QStringLiteral("app"));
    if (icon.isEmpty())
        return generic;
    if (QFileInfo(icon).isAbsolute())
        return QFileInfo::exists(icon) ? QIcon(icon) : generic;
    return QIcon::hasThemeIcon(icon) ? QIcon::fromTheme(icon) : generic;
}

} // namespace

ApplicationChooser::ApplicationChooser(std::vector<InstalledApplication> applications, QWidget *parent)
    : QDialog(parent), m_applications(ApplicationChoices::sorted(std::move(applications)))
{
    setWindowTitle(QStringLiteral("Choose App"));
    resize(460, 420);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setAccessibleName(QStringLiteral("Search applications"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);

    m_list = new QTreeWidget(this);
    m_list->setAccessibleName(QStringLiteral("Applications"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Application"), QStringLiteral("Application ID")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setIconSize(QSize(24, 24));
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    for (const InstalledApplication &application : m_applications) {
        auto *item = new QTreeWidgetItem(m_list, {application.name, application.id});
        item->setIcon(0, applicationIcon(application.icon));
        item->setData(0, idRole, application.id);
    }

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton *choose = m_buttons->addButton(QStringLiteral("Choose"), QDialogButtonBox::AcceptRole);
    choose->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    if (m_applications.empty())
        layout->addWidget(new QLabel(QStringLiteral("No installed applications were found."), this));
    layout->addWidget(m_buttons);

    connect(m_search, &QLineEdit::textChanged, this, &ApplicationChooser::filter);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &ApplicationChooser::updateButtons);
    connect(m_list, &QTreeWidget::itemActivated, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    filter(QString());
}

std::optional<QString> ApplicationChooser::selectedID() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    if (!item || item->isHidden())
        return std::nullopt;
    return item->data(0, idRole).toString();
}

std::optional<QString> ApplicationChooser::choose(InstalledApplications &applications, QWidget *parent)
{
    ApplicationChooser chooser(applications.applications(), parent);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.selectedID();
}

bool ApplicationChooser::eventFilter(QObject *watched, QEvent *event)
{
    // Up and Down in the search field move through the list, so typing and choosing need no mouse.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            QCoreApplication::sendEvent(m_list, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ApplicationChooser::filter(const QString &query)
{
    const auto shown = ApplicationChoices::matching(m_applications, query);
    QSet<QString> visible;
    for (const InstalledApplication &application : shown)
        visible.insert(application.id);
    QTreeWidgetItem *first = nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        const bool show = visible.contains(item->data(0, idRole).toString());
        item->setHidden(!show);
        if (show && !first)
            first = item;
    }
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(first);
    updateButtons();
}

void ApplicationChooser::updateButtons()
{
    for (QAbstractButton *button : m_buttons->buttons()) {
        if (m_buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
            button->setEnabled(selectedID().has_value());
    }
}

} // namespace talvex
