#include "WidgetPrompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace talvex {
namespace {

QStringList extensions(PromptFileType type)
{
    switch (type) {
    case PromptFileType::json:
        return {QStringLiteral("json")};
    case PromptFileType::plainText:
        return {QStringLiteral("txt"), QStringLiteral("text")};
    case PromptFileType::commaSeparatedText:
        return {QStringLiteral("csv")};
    case PromptFileType::tabSeparatedText:
        return {QStringLiteral("tsv"), QStringLiteral("tab")};
    }
    return {};
}

QString label(PromptFileType type)
{
    switch (type) {
    case PromptFileType::json:
        return QStringLiteral("JSON");
    case PromptFileType::plainText:
        return QStringLiteral("Plain text");
    case PromptFileType::commaSeparatedText:
        return QStringLiteral("Comma-separated text");
    case PromptFileType::tabSeparatedText:
        return QStringLiteral("Tab-separated text");
    }
    return {};
}

std::optional<QString> runFileDialog(const FilePanelRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog;
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    if (!request.confirmLabel.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, request.confirmLabel);
    const QStringList filters = WidgetPrompts::nameFilters(request.fileTypes);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (mode == QFileDialog::AcceptSave && !request.fileTypes.empty())
        dialog.setDefaultSuffix(
            extensions(request.fileTypes.front()).constFirst()); // also asks before overwriting
    if (mode == QFileDialog::AcceptSave && !request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace

QStringList WidgetPrompts::nameFilters(const std::vector<PromptFileType> &types)
{
    QStringList filters;
    for (const PromptFileType type : types) {
        QStringList patterns;
        for (const QString &extension : extensions(type))
            patterns << QStringLiteral("*.") + extension;
        filters << label(type) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::optional<QString> WidgetPrompts::chooseSaveLocation(const FilePanelRequest &request)
{
    return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<QString> WidgetPrompts::chooseOpenLocation(const FilePanelRequest &request)
{
    return runFileDialog(request, QFileDialog::AcceptOpen);
}

int WidgetPrompts::alert(const AlertRequest &request)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(request.messageText);
    box.setInformativeText(request.informativeText);
    std::vector<QAbstractButton *> buttons;
    for (qsizetype i = 0; i < request.buttons.size(); ++i) {
        // The first button is the default; the others are ways out.
        QPushButton *button =
            box.addButton(request.buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (i == 0)
            box.setDefaultButton(button);
        buttons.push_back(button);
    }
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i])
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace talvex
