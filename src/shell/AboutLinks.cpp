#include "AboutLinks.h"

#include "shell/WebAddresses.h"

#include <QUrlQuery>

namespace talvex::AboutLinks {

namespace {

QUrl address(const char *configured)
{
    return QUrl(QString::fromUtf8(configured));
}

} // namespace

std::vector<AboutLink> support()
{
    const QUrl website = address(web::website);
    return {
        {QString::fromUtf8(web::tipService),
         QStringLiteral("Leave an optional tip"),
         QStringLiteral("cup.and.saucer"),
         address(web::tip),
         {}},
        {QStringLiteral("Send Feedback"),
         QStringLiteral("Suggest an improvement or report a bug"),
         QStringLiteral("bubble.left.and.bubble.right"),
         address(web::feedback),
         {}},
        {QStringLiteral("Share Talvex"), QStringLiteral("Send someone a link to the app"),
         QStringLiteral("square.and.arrow.up"), shareMail(website), website},
        {QStringLiteral("Open a Support Ticket"),
         QStringLiteral("Get help with one issue in Talvex for Linux"),
         QStringLiteral("headphones"),
         address(web::help),
         {}},
        {QStringLiteral("More Free Apps by Quindlark"),
         QStringLiteral("Explore more apps from our studio"),
         QStringLiteral("arrow.up.right.square"),
         address(web::apps),
         {}},
    };
}

std::vector<AboutLink> follow()
{
    return {
        {QStringLiteral("Newsletter"), {}, QStringLiteral("envelope"), address(web::newsletter), {}},
        {QString::fromUtf8(web::socialName), {}, QStringLiteral("person.2"), address(web::social), {}},
        {QStringLiteral("Website"), {}, QStringLiteral("globe"), address(web::website), {}},
    };
}

QUrl shareMail(const QUrl &website)
{
    QUrl mail(QStringLiteral("mailto:"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("Talvex"));
    query.addQueryItem(QStringLiteral("body"),
                       QStringLiteral("Talvex: private dictation for Linux. ") + website.toString());
    mail.setQuery(query);
    return mail;
}

} // namespace talvex::AboutLinks
