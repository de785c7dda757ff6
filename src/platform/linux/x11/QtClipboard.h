#pragma once

#include "Clipboard.h"

#include <QObject>

namespace talvex::x11 {

/// The CLIPBOARD and PRIMARY selections through QClipboard. Each change counter grows on every
/// change signal of its selection, ours included; needs a QGuiApplication on the main thread.
class QtClipboard final : public QObject, public Clipboard {
    Q_OBJECT
public:
    explicit QtClipboard(QObject *parent = nullptr);

    bool hasPrimary() override;
    ClipboardSnapshot snapshot(ClipboardSelection selection) override;
    bool setText(ClipboardSelection selection, const QString &text) override;
    bool restore(ClipboardSelection selection, const ClipboardSnapshot &snapshot) override;
    std::uint64_t changeCount(ClipboardSelection selection) override;

private:
    std::uint64_t m_clipboardChanges = 0;
    std::uint64_t m_primaryChanges = 0;
};

} // namespace talvex::x11
