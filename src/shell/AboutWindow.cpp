#include "AboutWindow.h"

#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "TalvexAbout.h"

#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>

namespace talvex {

AboutWindow::AboutWindow(std::function<bool(const QUrl &)> openLink) : m_openLink(std::move(openLink))
{
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::show()
{
    const bool first = !m_panel;
    if (first) {
        m_panel =
            std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        m_panel->setWindowTitle(QStringLiteral("About Talvex"));
        m_panel->setWindowIcon(SettingsIcons::applicationIcon());
        m_panel->setAccessibleName(QStringLiteral("About Talvex"));
        auto *layout = new QVBoxLayout(m_panel.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new TalvexAbout(m_openLink, m_panel.get()));
        m_panel->resize(512, 640);
        for (const QKeySequence &close : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
            QObject::connect(new QShortcut(close, m_panel.get()), &QShortcut::activated, m_panel.get(),
                             &QWidget::close);
    }
    SettingsLayout::showInFront(m_panel.get(), first);
}

} // namespace talvex
