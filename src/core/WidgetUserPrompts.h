#pragma once

#include "platform/UserPrompts.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace talvex {

/// The library commands' panels and alert as Qt dialogs. Each call runs the dialog modally and
/// returns the user's answer.
class WidgetUserPrompts final : public UserPrompts {
public:
    /// `parent` (may be null) centres the dialogs over a window.
    explicit WidgetUserPrompts(QWidget *parent = nullptr) : m_parent(parent) {}

    std::optional<QString> chooseSaveLocation(const FilePanelRequest &request) override;
    std::optional<QString> chooseOpenLocation(const FilePanelRequest &request) override;
    int alert(const AlertRequest &request) override;

    /// Name filters for a panel: all offered types together first, then each type on its own.
    static QStringList nameFilters(const std::vector<PromptFileType> &types);

private:
    QPointer<QWidget> m_parent;
};

} // namespace talvex
