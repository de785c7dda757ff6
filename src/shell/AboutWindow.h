#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

namespace talvex {

/// The "About Talvex" window: one panel made on the first show and kept when closed.
class AboutWindow final {
  public:
    /// `openLink` as for TalvexAbout.
    explicit AboutWindow(std::function<bool(const QUrl &)> openLink = {});
    ~AboutWindow();
    AboutWindow(const AboutWindow &) = delete;
    AboutWindow &operator=(const AboutWindow &) = delete;

    /// Makes the panel on first use, centred, then brings it to the front with keyboard focus.
    void show();
    /// The panel, once shown.
    QWidget *panel() const { return m_panel.get(); }

  private:
    std::function<bool(const QUrl &)> m_openLink;
    std::unique_ptr<QWidget> m_panel;
};

} // namespace talvex
