#include "TalvexAbout.h"

#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "TalvexUpdates.h"
#include "platform/Version.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex {

namespace {

constexpr int iconSize = 62;
constexpr int contentWidth = 440;

QFont scaled(QFont font, double factor, bool bold)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

QLabel *centred(QLabel *label)
{
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

/// A flat, focusable button showing a symbol, a bold title and a dimmed detail line.
class LinkRow final : public QPushButton {
  public:
    LinkRow(const AboutLink &link, QWidget *parent) : QPushButton(parent)
    {
        setFlat(true);
        setAutoDefault(false);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(link.title);
        setAccessibleDescription(link.detail);
        setToolTip(link.url.toString());

        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 6, 10, 6);
        layout->setSpacing(12);
        auto *symbol = new QLabel(this);
        symbol->setPixmap(SettingsIcons::icon({}, link.symbol).pixmap(24, 24));
        auto *texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto *title = new QLabel(link.title, this);
        title->setFont(scaled(font(), 1.0, true));
        m_detail = SettingsLayout::secondaryText(link.detail, this);
        m_detail->setWordWrap(false);
        texts->addWidget(title);
        texts->addWidget(m_detail);
        layout->addWidget(symbol);
        layout->addLayout(texts, 1);
        for (QLabel *label : {symbol, title, m_detail})
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return layout()->sizeHint(); }
    QSize minimumSizeHint() const override { return layout()->minimumSize(); }

    void setDetail(const QString &detail)
    {
        m_detail->setText(detail);
        setAccessibleDescription(detail);
    }

  private:
    QLabel *m_detail = nullptr;
};

} // namespace

QString TalvexAbout::versionLine()
{
    return QStringLiteral("Version ") + QString::fromUtf8(talvexVersion);
}

QString TalvexAbout::tagline()
{
    return QStringLiteral(
        "Private dictation for Linux. Speak wherever you type, with transcription on your device.");
}

TalvexAbout::TalvexAbout(std::function<bool(const QUrl &)> openLink, QWidget *parent)
    : QWidget(parent), m_openLink(std::move(openLink))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 20);
    column->setSpacing(18);
    column->addWidget(header(), 0, Qt::AlignHCenter);
    column->addWidget(supportBlock(), 0, Qt::AlignHCenter);
    column->addWidget(footer(), 0, Qt::AlignHCenter);
    column->addStretch(1);
}

QWidget *TalvexAbout::header()
{
    auto *block = new QWidget(this);
    block->setFixedWidth(contentWidth);
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *icon = new QLabel(block);
    icon->setPixmap(SettingsIcons::applicationIcon().pixmap(iconSize, iconSize));
    icon->setFixedSize(iconSize, iconSize);
    icon->setAccessibleName(QStringLiteral("Talvex icon"));
    auto *name = centred(new QLabel(QStringLiteral("Talvex"), block));
    name->setFont(scaled(font(), 1.6, true));
    QLabel *version = centred(SettingsLayout::secondaryText(versionLine(), block));
    QLabel *tag = centred(SettingsLayout::bodyText(tagline(), block));
    // Dictation never leaves the computer; say what does.
    QLabel *network = centred(SettingsLayout::secondaryText(TalvexUpdates::networkNoticeText(), block));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(4);
    layout->addWidget(tag);
    layout->addWidget(network);
    return block;
}

QWidget *TalvexAbout::supportBlock()
{
    auto *block = new QFrame(this);
    block->setFrameShape(QFrame::StyledPanel);
    block->setFixedWidth(contentWidth);
    block->setAccessibleName(QStringLiteral("Free software. Supported by people."));
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(10, 14, 10, 10);
    layout->setSpacing(2);
    auto *heading = centred(new QLabel(QStringLiteral("Free software. Supported by people."), block));
    heading->setFont(scaled(font(), 1.1, true));
    layout->addWidget(heading);
    layout->addWidget(centred(SettingsLayout::bodyText(
        QStringLiteral("Every feature is free. Tips are entirely optional."), block)));
    layout->addWidget(
        centred(SettingsLayout::secondaryText(QStringLiteral("Free, private dictation for Linux."), block)));
    layout->addSpacing(8);
    for (const AboutLink &link : AboutLinks::support()) {
        auto *row = new LinkRow(link, block);
        connect(row, &QPushButton::clicked, this, [this, link, row] { open(link, row); });
        layout->addWidget(row);
    }
    return block;
}

QWidget *TalvexAbout::footer()
{
    auto *block = new QWidget(this);
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QLabel *title = centred(SettingsLayout::secondaryText(QStringLiteral("Follow Talvex"), block));
    layout->addWidget(title);
    auto *links = new QHBoxLayout;
    links->setSpacing(6);
    for (const AboutLink &link : AboutLinks::follow()) {
        auto *button = new QPushButton(SettingsIcons::icon({}, link.symbol), link.title, block);
        button->setFlat(true);
        button->setAutoDefault(false);
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(link.url.toString());
        connect(button, &QPushButton::clicked, this, [this, link, button] { open(link, button); });
        links->addWidget(button);
    }
    layout->addLayout(links);
    return block;
}

void TalvexAbout::open(const AboutLink &link, QWidget *row)
{
    const bool opened = m_openLink ? m_openLink(link.url) : QDesktopServices::openUrl(link.url);
    if (opened || link.fallbackCopy.isEmpty())
        return;
    // No program could send the link: put it where the user can paste it, and say so.
    QGuiApplication::clipboard()->setText(link.fallbackCopy.toString());
    if (auto *linkRow = dynamic_cast<LinkRow *>(row))
        linkRow->setDetail(QStringLiteral("Link copied to the clipboard"));
}

} // namespace talvex
