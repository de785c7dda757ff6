#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace talvex {

/// One clipboard item: every (MIME type, data) pair it offered, in the order offered.
using ClipboardItem = std::vector<std::pair<QString, QByteArray>>;
/// The whole clipboard at one moment; empty when the clipboard was empty.
using ClipboardSnapshot = std::vector<ClipboardItem>;

/// The desktop's copy-and-paste clipboard (not the primary selection).
class Clipboard {
public:
    virtual ~Clipboard() = default;

    /// Every format of the current contents with its data; formats whose data cannot be read are
    /// left out. May wait for the owning program (bounded).
    virtual ClipboardSnapshot snapshot() = 0;

    /// Clears the clipboard and makes `text` its plain-text content. False when the text could not
    /// be set (the clipboard may then be empty).
    virtual bool setText(const QString &text) = 0;

    /// Clears the clipboard and writes the items that have at least one pair, all at once. An empty
    /// snapshot leaves the clipboard empty. False when the write failed.
    virtual bool restore(const ClipboardSnapshot &snapshot) = 0;

    /// A counter that grows on every change of the contents, by this process or another. Only
    /// equality of two readings means anything.
    virtual std::uint64_t changeCount() = 0;
};

} // namespace talvex
