#include "report/DataReport1.h"

#include <QAction>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

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
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setDocName(report_.Sections(QStringLiteral("rptHeader")).Controls(QStringLiteral("lblPerson")).Caption);
    if (!report_.print(printer)) {
        if (error)
            *error = QStringLiteral("The file %1 could not be written.").arg(file);
        return false;
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
    QString error;
    if (!ExportPdf(dialog.FileName, &error))
        ui::MsgBox(error, ui::vbOKOnly | ui::vbExclamation);
}

void DataReport1::done(int result)
{
    QPrintPreviewDialog::done(result);
    close();
}

} // namespace numora
