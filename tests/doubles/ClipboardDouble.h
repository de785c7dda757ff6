#pragma once

#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <functional>

namespace talvex::test {

/// An in-memory clipboard and primary selection, each with a change counter. Tests play other
/// programs with externalWrite(). `contents`, `count`, `restores` and text() are the clipboard's;
/// `primary` holds the primary selection's.
class ClipboardDouble final : public Clipboard {
public:
    struct Selection {
        ClipboardSnapshot contents;
        std::uint64_t count = 1;
        int restores = 0;
        bool setTextFails = false;
    };

private:
    Selection m_clipboard; // first, so the references below bind to a constructed member

public:
    ClipboardSnapshot &contents = m_clipboard.contents;
    std::uint64_t &count = m_clipboard.count;
    int &restores = m_clipboard.restores;
    bool &setTextFails = m_clipboard.setTextFails;
    Selection primary;
    bool primarySupported = true;
    int snapshots = 0;
    /// Also put text on the process's real clipboard, for code that pastes from it (Qt editors).
    bool mirrorToQt = false;

    ClipboardDouble() = default;
    ClipboardDouble(const ClipboardDouble &) = delete;
    ClipboardDouble &operator=(const ClipboardDouble &) = delete;

    /// Another program writes the selection.
    void externalWrite(ClipboardSnapshot snapshot, ClipboardSelection which = ClipboardSelection::clipboard)
    {
        Selection &selection = of(which);
        selection.contents = std::move(snapshot);
        ++selection.count;
    }

    /// The plain text on the selection, empty when there is none.
    QString text(ClipboardSelection which = ClipboardSelection::clipboard)
    {
        for (const ClipboardItem &item : of(which).contents)
            for (const auto &[type, data] : item)
                if (type == QLatin1String("text/plain"))
                    return QString::fromUtf8(data);
        return {};
    }

    bool hasPrimary() override { return primarySupported; }
    ClipboardSnapshot snapshot(ClipboardSelection which) override
    {
        ++snapshots;
        return of(which).contents;
    }
    bool setText(ClipboardSelection which, const QString &text) override
    {
        Selection &selection = of(which);
        selection.contents.clear();
        ++selection.count;
        if (selection.setTextFails)
            return false;
        selection.contents = {{{QStringLiteral("text/plain"), text.toUtf8()}}};
        if (mirrorToQt && which == ClipboardSelection::clipboard)
            QGuiApplication::clipboard()->setText(text);
        return true;
    }
    bool restore(ClipboardSelection which, const ClipboardSnapshot &snapshot) override
    {
        Selection &selection = of(which);
        ++selection.restores;
        selection.contents.clear();
        for (const ClipboardItem &item : snapshot)
            if (!item.empty())
                selection.contents.push_back(item);
        ++selection.count;
        return true;
    }
    std::uint64_t changeCount(ClipboardSelection which) override { return of(which).count; }

private:
    Selection &of(ClipboardSelection which) { return which == ClipboardSelection::primary ? primary : m_clipboard; }
};

} // namespace talvex::test
