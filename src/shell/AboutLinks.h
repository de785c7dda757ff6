#pragma once

#include <QString>
#include <QUrl>
#include <vector>

namespace talvex {

/// One link of the about content: a symbol, a title, a detail line, and the page it opens.
struct AboutLink {
    QString title;
    QString detail; ///< empty for the small links of the footer
    QString symbol; ///< the bundled symbol's name
    QUrl url;
    /// The link of the product page, to copy when no mail program can send it.
    QUrl fallbackCopy;
};

namespace AboutLinks {

/// The support block's rows, in order: tip, feedback, share, support ticket, more apps.
std::vector<AboutLink> support();
/// The "Follow Talvex" footer: newsletter, social profile, web site.
std::vector<AboutLink> follow();

/// A new mail message carrying the product page, for "Share Talvex".
QUrl shareMail(const QUrl &website);

} // namespace AboutLinks

} // namespace talvex
