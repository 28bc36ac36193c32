#pragma once
// The report window: the directory's banded report (BandReport) in a print
// preview, from which the user prints it or saves it as a PDF file. It is one
// program-wide window (forms::Form) beside the main window, not blocking it;
// the print command sets its title, captions, fields and cards again each
// time and shows it.

#include <QPrintPreviewDialog>
#include <QString>

#include "forms/Form.h"
#include "report/BandReport.h"

class QAction;

namespace numora {

class DataReport1 : public forms::Form<DataReport1, QPrintPreviewDialog> {
    Q_OBJECT
public:
    DataReport1();
    ~DataReport1() override;

    report::ReportSection& Sections(const QString& name) { return report_.Sections(name); }
    // The cards to report: every card of the listing, read now.
    void setDataSource(const store::Listing& cards) { report_.setDataSource(cards); }
    const report::BandReport& layout() const { return report_; }

    // Paints the preview again after the report changed.
    void Refresh();

    // Writes the report to a PDF file, replacing one that is there as a
    // whole. False, with the reason in error, when the file could not be
    // written; a file it would have replaced is then left as it was.
    bool ExportPdf(const QString& file, QString* error = nullptr);

    QAction* mnuSavePdf = nullptr; // the preview's "Save as PDF..." button
    void mnuSavePdf_Click();

protected:
    bool Form_Load() override { return true; }
    // Every way of closing the window unloads it: its close button, Esc and
    // its Print button alike.
    void done(int result) override;

private:
    report::BandReport report_;
};

} // namespace numora
