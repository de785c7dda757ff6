#include "WidgetUserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace talvex {

namespace {

QString patterns(PromptFileType type)
{
    switch (type) {
    case PromptFileType::json:
        return QStringLiteral("*.json");
    case PromptFileType::plainText:
        return QStringLiteral("*.txt *.text");
    case PromptFileType::commaSeparatedText:
        return QStringLiteral("*.csv");
    case PromptFileType::tabSeparatedText:
        break;
    }
    return QStringLiteral("*.tsv *.tab");
}

QString title(PromptFileType type)
{
    switch (type) {
    case PromptFileType::json:
        return QStringLiteral("JSON");
    case PromptFileType::plainText:
        return QStringLiteral("Plain text");
    case PromptFileType::commaSeparatedText:
        return QStringLiteral("Comma-separated text");
    case PromptFileType::tabSeparatedText:
        break;
    }
    return QStringLiteral("Tab-separated text");
}

std::optional<QString> run(QFileDialog &dialog, const FilePanelRequest &request)
{
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    if (!request.confirmLabel.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, request.confirmLabel);
    dialog.setNameFilters(WidgetUserPrompts::nameFilters(request.fileTypes));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty())
        return std::nullopt;
    return files.front();
}

} // namespace

QStringList WidgetUserPrompts::nameFilters(const std::vector<PromptFileType> &types)
{
    if (types.empty())
        return {};
    QStringList all;
    QStringList each;
    for (PromptFileType type : types) {
        all << patterns(type);
        each << QStringLiteral("%1 (%2)").arg(title(type), patterns(type));
    }
    if (types.size() == 1)
        return each;
    return QStringList{QStringLiteral("All supported files (%1)").arg(all.join(QLatin1Char(' ')))} + each;
}

std::optional<QString> WidgetUserPrompts::chooseSaveLocation(const FilePanelRequest &request)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.fileTypes.size() == 1 && request.fileTypes.front() == PromptFileType::json)
        dialog.setDefaultSuffix(QStringLiteral("json"));
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    return run(dialog, request);
}

std::optional<QString> WidgetUserPrompts::chooseOpenLocation(const FilePanelRequest &request)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog, request);
}

int WidgetUserPrompts::alert(const AlertRequest &request)
{
    QMessageBox box(m_parent);
    box.setIcon(QMessageBox::Question);
    box.setText(request.messageText);
    box.setInformativeText(request.informativeText);
    std::vector<QPushButton *> buttons;
    for (qsizetype i = 0; i < request.buttons.size(); ++i) {
        // The first button is the default; a later "Cancel" is what Escape chooses.
        const bool isCancel = i > 0 && request.buttons[i] == QStringLiteral("Cancel");
        QPushButton *button =
            box.addButton(request.buttons[i], isCancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (i == 0)
            box.setDefaultButton(button);
        if (isCancel)
            box.setEscapeButton(button);
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
