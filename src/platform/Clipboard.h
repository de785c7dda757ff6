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

/// Which of the desktop's selections: the copy-and-paste clipboard, or the primary selection (the
/// text last selected, which some terminals paste with Shift+Insert).
enum class ClipboardSelection { clipboard, primary };

/// The desktop's copy-and-paste clipboard and its primary selection.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    /// True when the desktop has a primary selection at all.
    virtual bool hasPrimary() = 0;

    /// Every format of the current contents with its data; formats whose data cannot be read are
    /// left out. May wait for the owning program (bounded).
    virtual ClipboardSnapshot snapshot(ClipboardSelection selection) = 0;

    /// Clears the selection and makes `text` its plain-text content. False when the text could not
    /// be set (the selection may then be empty).
    virtual bool setText(ClipboardSelection selection, const QString &text) = 0;

    /// Clears the selection and writes the items that have at least one pair, all at once. An empty
    /// snapshot leaves it empty. False when the write failed.
    virtual bool restore(ClipboardSelection selection, const ClipboardSnapshot &snapshot) = 0;

    /// A counter that grows on every change of the selection's contents, by this process or
    /// another. Only equality of two readings means anything.
    virtual std::uint64_t changeCount(ClipboardSelection selection) = 0;
};

} // namespace talvex
