#pragma once

#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <functional>

namespace talvex::test {

/// An in-memory clipboard with a change counter. Tests play other programs with externalWrite().
class ClipboardDouble final : public Clipboard {
public:
    ClipboardSnapshot contents;
    std::uint64_t count = 1;
    bool setTextFails = false;
    int snapshots = 0;
    int restores = 0;
    /// Also put text on the process's real clipboard, for code that pastes from it (Qt editors).
    bool mirrorToQt = false;

    /// Another program writes the clipboard.
    void externalWrite(ClipboardSnapshot snapshot)
    {
        contents = std::move(snapshot);
        ++count;
    }

    /// The plain text on the clipboard, empty when there is none.
    QString text() const
    {
        for (const ClipboardItem &item : contents)
            for (const auto &[type, data] : item)
                if (type == QLatin1String("text/plain"))
                    return QString::fromUtf8(data);
        return {};
    }

    ClipboardSnapshot snapshot() override
    {
        ++snapshots;
        return contents;
    }
    bool setText(const QString &text) override
    {
        contents.clear();
        ++count;
        if (setTextFails)
            return false;
        contents = {{{QStringLiteral("text/plain"), text.toUtf8()}}};
        if (mirrorToQt)
            QGuiApplication::clipboard()->setText(text);
        return true;
    }
    bool restore(const ClipboardSnapshot &snapshot) override
    {
        ++restores;
        contents.clear();
        for (const ClipboardItem &item : snapshot)
            if (!item.empty())
                contents.push_back(item);
        ++count;
        return true;
    }
    std::uint64_t changeCount() override { return count; }
};

} // namespace talvex::test
