#pragma once

#include "Clipboard.h"

#include <QObject>

namespace talvex::x11 {

/// The CLIPBOARD selection through QClipboard. The change counter grows on every change signal,
/// ours included; needs a QGuiApplication on the main thread.
class QtClipboard final : public QObject, public Clipboard {
    Q_OBJECT
public:
    explicit QtClipboard(QObject *parent = nullptr);

    ClipboardSnapshot snapshot() override;
    bool setText(const QString &text) override;
    bool restore(const ClipboardSnapshot &snapshot) override;
    std::uint64_t changeCount() override { return m_changes; }

private:
    std::uint64_t m_changes = 0;
};

} // namespace talvex::x11
