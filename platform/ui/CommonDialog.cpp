#include "platform/ui/CommonDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace numora::ui {
namespace {

class RealFileDialogs final : public FileDialogs {
public:
    std::optional<QString> show(const FileDialogRequest& request, QWidget* parent) override
    {
        QFileDialog dialog(parent);
        const bool save = request.kind == FileDialogRequest::Save;
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // The command asks about overwriting itself, in its own words.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        const QStringList filters = qtNameFilters(request.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
            dialog.selectNameFilter(filters[request.filterIndex - 1]);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

} // namespace

Seam<FileDialogs>& fileDialogs()
{
    static RealFileDialogs real;
    static Seam<FileDialogs> seam(real);
    return seam;
}

QString qtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The description names its pattern already; Qt reads the pattern
        // from the parentheses.
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        out << (description.contains(QLatin1Char('('))
                    ? description
                    : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

bool CommonDialog::show(FileDialogRequest::Kind kind)
{
    const std::optional<QString> chosen = fileDialogs()->show({kind, FileName, Filter, FilterIndex}, parent_);
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

} // namespace numora::ui
