#include "report/DataReport1.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryFile>
#include <QToolBar>

#include "platform/core/Error.h"
#include "platform/core/Files.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MsgBox.h"

namespace numora {

DataReport1::DataReport1()
{
    setObjectName(QStringLiteral("DataReport1"));
    setWindowTitle(QStringLiteral("DataReport1"));
    // Wide enough for the whole tool bar, Save as PDF included.
    resize(960, 720);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { report_.print(*printer); });
    if (auto* toolbar = findChild<QToolBar*>()) {
        toolbar->addSeparator();
        mnuSavePdf = toolbar->addAction(QStringLiteral("Save as PDF..."), this, &DataReport1::mnuSavePdf_Click);
        mnuSavePdf->setObjectName(QStringLiteral("mnuSavePdf"));
    }
}

DataReport1::~DataReport1() = default;

void DataReport1::Refresh()
{
    if (auto* preview = findChild<QPrintPreviewWidget*>())
        preview->updatePreview();
}

bool DataReport1::ExportPdf(const QString& file, QString* error)
{
    // The report is made aside and then put in place whole, so a file it
    // replaces is never left half-written.
    QTemporaryFile made(QDir::tempPath() + QStringLiteral("/numora-report-XXXXXX.pdf"));
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!made.open())
        return fail(QStringLiteral("The file %1 could not be written: %2.").arg(file, made.errorString()));
    made.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(made.fileName());
    printer.setDocName(report_.Sections(QStringLiteral("rptHeader")).Controls(QStringLiteral("lblPerson")).Caption);
    if (!report_.print(printer))
        return fail(QStringLiteral("The file %1 could not be written.").arg(file));
    try {
        files::replaceWhole(QFile::encodeName(file).toStdString(),
                            files::readWhole(QFile::encodeName(made.fileName()).toStdString()).value_or(std::string()));
    } catch (const Error& e) {
        return fail(
            QStringLiteral("The file %1 could not be written: %2.").arg(file, QString::fromStdString(e.description())));
    }
    return true;
}

void DataReport1::mnuSavePdf_Click()
{
    ui::CommonDialog dialog(this);
    dialog.FileName = QStringLiteral("Numora Report.pdf");
    dialog.Filter = QStringLiteral("PDF file (*.pdf)|*.pdf");
    if (!dialog.ShowSave())
        return;
    const QString& file = dialog.FileName;
    // A file that is there already is replaced only when the user says so,
    // as Export asks.
    if (QFileInfo::exists(file) && ui::MsgBox(QStringLiteral("Do you want to overwrite ") + file + QLatin1Char('?'),
                                              ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1) != ui::vbYes)
        return;
    QString error;
    if (!ExportPdf(file, &error))
        ui::MsgBox(error, ui::vbOKOnly | ui::vbExclamation);
}

void DataReport1::done(int result)
{
    // Esc and the Print button end here. The dialog's own ending would hide
    // the window without the close that unloads it, and a report left loaded
    // would keep the program running with no window; closing it while it is
    // still shown unloads it as the window's close button does.
    setResult(result);
    close();
}

} // namespace numora
