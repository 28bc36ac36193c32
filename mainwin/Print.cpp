// The Print command: the cards of the group and letter the grid shows, read
// over the shared connection, laid out as the banded report and shown in the
// report window.
#include "mainwin/frmVemo.h"

#include <QAction>
#include <QComboBox>
#include <QLoggingCategory>

#include <optional>
#include <source_location>

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

} // namespace

void frmVemo::mnuPrint_Click()
{
    Module1State& m = Module1();
    // Each step runs whatever failed before it; the last failure is told once
    // at the end.
    std::optional<QString> failure;
    const auto step = [&](auto&& statement, const std::source_location where = std::source_location::current()) {
        try {
            statement();
        } catch (const std::exception& e) {
            logSkipped(lcReport(), where, e);
            failure = QString::fromUtf8(e.what());
        }
    };

    step([&] { setPanelText(2, QStringLiteral("Preparing report to print...")); });
    DataReport1& report = DataReport1::instance();
    step([&] { report.Sections(QStringLiteral("rptHeader")).Controls(QStringLiteral("lblPerson")).Caption = kReportTitle; });
    if (const store::Table* table = store::tableForGroup(cmbGroup->currentText())) {
        step([&] {
            if (!m.cnDirectory)
                throw Error(91, "Object variable or With block variable not set");
            store::Listing listing = store::listCards(*table, std::nullopt, m.strSortOrder, m.cnDirectory.get());
            if (listing.failure)
                throw *listing.failure;
            // The report's cards stand where the grid's stood, in the same
            // order, until the next fill.
            m.rsDirectory = std::make_unique<store::Listing>(std::move(listing));
        });
        // The fifth, fourth and second fields of the group's table, under the
        // fifth field's heading.
        const auto columnName = [table](int field) { return QLatin1String(table->columns[static_cast<size_t>(field)].name); };
        step([&] {
            report.Sections(QStringLiteral("rptPage")).Controls(QStringLiteral("lblFax")).Caption =
                QString::fromUtf8(table->columns[4].heading);
        });
        step([&] { report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtFax")).DataField = columnName(4); });
        step([&] { report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtWork")).DataField = columnName(3); });
        step([&] { report.Sections(QStringLiteral("rptDetails")).Controls(QStringLiteral("txtPhone")).DataField = columnName(1); });
    }
    if (m.strCurrentLetter != QLatin1String("ALL")) {
        step([&] {
            if (!m.rsDirectory)
                throw Error(91, "Object variable or With block variable not set");
            m.rsDirectory->narrowTo(m.strCurrentLetter);
        });
    }
    step([&] {
        if (!m.rsDirectory)
            throw Error(91, "Object variable or With block variable not set");
        report.setDataSource(*m.rsDirectory);
    });
    step([&] {
        // The first showing paints the preview; one already open paints again.
        const bool open = report.isVisible();
        report.show();
        if (open)
            report.Refresh();
    });
    step([&] { setPanelText(2, QString()); });
    if (mnuDbg->isChecked()) {
        step([&] {
            m.strQueryText = m.strCurrentSql;
            setPanelText(2, m.strQueryText);
        });
    }
    if (failure)
        ui::MsgBox(*failure, ui::vbOKOnly | ui::vbExclamation);
}

void frmVemo::popPrint_Click() { mnuPrint_Click(); }

} // namespace numora
