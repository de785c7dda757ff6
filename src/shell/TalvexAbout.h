#pragma once

#include "AboutLinks.h"

#include <QUrl>
#include <QWidget>
#include <functional>

namespace talvex {

/// The about content: identity and version, the support links and the follow links. It fills the
/// about window and the settings window's "About" tab. It only opens web pages.
class TalvexAbout final : public QWidget {
    Q_OBJECT

  public:
    /// "Version " and the version of this build.
    static QString versionLine();
    static QString tagline();

    /// `openLink` opens a page and says whether something opened; empty: the default browser.
    explicit TalvexAbout(std::function<bool(const QUrl &)> openLink = {}, QWidget *parent = nullptr);

  private:
    QWidget *header();
    QWidget *supportBlock();
    QWidget *footer();
    void open(const AboutLink &link, QWidget *row);

    std::function<bool(const QUrl &)> m_openLink;
};

} // namespace talvex
