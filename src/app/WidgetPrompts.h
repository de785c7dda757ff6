#pragma once

#include "platform/UserPrompts.h"

#include <QStringList>

namespace talvex {

/// The library commands' panels and alert as Qt widget dialogs: a file dialog restricted to the
/// requested types and a message box with the requested buttons. Each call runs its dialog modally.
class WidgetPrompts final : public UserPrompts {
  public:
    std::optional<QString> chooseSaveLocation(const FilePanelRequest &request) override;
    std::optional<QString> chooseOpenLocation(const FilePanelRequest &request) override;
    int alert(const AlertRequest &request) override;

    /// One name filter per type, in order ("JSON (*.json)", ...); an empty list offers every file.
    static QStringList nameFilters(const std::vector<PromptFileType> &types);
};

} // namespace talvex
