#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace talvex {

/// Kinds of file a panel offers; the backend turns them into name filters.
enum class PromptFileType {
    json,
    plainText,
    commaSeparatedText,
    tabSeparatedText,
};

/// What a save or open panel shows. Empty texts mean the backend's own defaults.
struct FilePanelRequest {
    QString title;
    QString confirmLabel;
    std::vector<PromptFileType> fileTypes; ///< the only types offered and accepted
    QString proposedName;                  ///< save panels only: the file name filled in
};

/// A modal alert: a bold message, a smaller informative text and buttons, first is the default.
struct AlertRequest {
    QString messageText;
    QString informativeText;
    QStringList buttons;
};

/// The modal panels and the confirmation alert of the library commands. Each call returns only
/// after the user has answered, so the commands read top to bottom.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    /// Asks where to save. Absent when the user cancels or no location was chosen.
    virtual std::optional<QString> chooseSaveLocation(const FilePanelRequest &request) = 0;

    /// Asks for an existing file to open. Absent when the user cancels or no file was chosen.
    virtual std::optional<QString> chooseOpenLocation(const FilePanelRequest &request) = 0;

    /// Shows the alert and returns the index of the chosen button in `request.buttons`; -1 when
    /// the alert was dismissed without a button.
    virtual int alert(const AlertRequest &request) = 0;
};

} // namespace talvex
