// The Print command: the cards of the group and letter the grid shows, read
// over the shared connection, laid out as the banded report and shown in the
// report window.
#include "mainwin/frmVemo.h"

#include <QAction>
#include <QComboBox>
#include <QLoggingCategory>

#include <optional>

#include "mainwin/Module1.h"
#include "platform/core/Error.h"
#include "platform/ui/MsgBox.h"
#include "report/DataReport1.h"
#include "store/Listing.h"
#include "store/Store.h"

namespace numora {
namespace {

Q_LOGGING_CATEGORY(lcReport, "numora.report", QtInfoMsg)

constexpr char kReportTitle[] = "Numora Report";

constexpr long kErrObjectNotSet = 91;
constexpr char kObjectNotSet[] = "Object variable or With block variable not set";

} // namespace

void frmVemo::mnuPrint_Click()
{
    Module1State& m = Module1();
    // Each step runs whatever failed before it; the last failure is told once
    // at the end.
    std::optional<Error> failure;
    // A step that needs an object the window has not got is passed over and
    // told as such.
    const auto missing = [&](const char* what) {
        qCDebug(lcReport) << "no" << what << "to print from";
        failure = Error(kErrObjectNotSet, kObjectNotSet);
    };

    resumeNext(lcReport(), failure, [&] { setPanelText(2, QStringLiteral("Preparing report to print...")); });
    DataReport1& report = DataReport1::instance();
    resumeNext(lcReport(), failure, [&] {
        report.Sections(QStringLiteral("rptHeader")).Controls(QStringLiteral("lblPerson")).Caption = kReportTitle;
    });
    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    if (table) {
        ado::Connection* cn = nullptr;
        resumeNext(lcReport(), failure, [&] { cn = m.connectionFor(*table); });
        if (!cn) {
            if (!failure)
                missing("connection");
        } else {
            resumeNext(lcReport(), failure, [&] {
                store::Listing listing = store::listCards(*table, std::nullopt, m.strSortOrder, cn);
                if (listing.failure)
                    throw *listing.failure;
                // The report's cards stand where the grid's stood, in the same
                // order, until the next fill.
                m.rsDirectory = std::make_unique<store::Listing>(std::move(listing));
            });
        }
        // The fifth, fourth and second fields of the group's table, under the
        // fifth field's heading.
        const auto columnName = [table](int field) {
            return QLatin1String(table->columns[static_cast<size_t>(field)].name);
        };
        resumeNext(lcReport(), failure, [&] {
            report.Sections(QStringLiteral("rptPage")).Controls(QStringLiteral("lblFax")).Caption =
                QString::fromUtf8(table->columns[4].heading);
        });
        resumeNext(lcReport(), failure, [&] {
            report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtFax")).DataField = columnName(4);
        });
        resumeNext(lcReport(), failure, [&] {
            report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtWork")).DataField = columnName(3);
        });
        resumeNext(lcReport(), failure, [&] {
            report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtPhone")).DataField =
                columnName(1);
        });
    }
    if (!m.rsDirectory) {
        missing("list"); // neither the letter's filter nor the report's cards
    } else {
        if (m.strCurrentLetter != QLatin1String("ALL")) {
            resumeNext(lcReport(), failure, [&] { m.rsDirectory->narrowTo(m.strCurrentLetter); });
        }
        resumeNext(lcReport(), failure, [&] { report.setDataSource(*m.rsDirectory); });
    }
    resumeNext(lcReport(), failure, [&] {
        // The first showing paints the preview; one already open paints again.
        const bool open = report.isVisible();
        report.show();
        if (open)
            report.Refresh();
    });
    resumeNext(lcReport(), failure, [&] { setPanelText(2, QString()); });
    if (mnuDbg->isChecked()) {
        resumeNext(lcReport(), failure, [&] {
            m.strQueryText = m.strCurrentSql;
            setPanelText(2, m.strQueryText);
        });
    }
    if (failure)
        ui::MsgBox(failureText(table, *failure), ui::vbOKOnly | ui::vbExclamation);
}

void frmVemo::popPrint_Click() { mnuPrint_Click(); }

} // namespace numora
