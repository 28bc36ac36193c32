// The printed report of a whole group of kCards cards: reading the cards over
// the shared connection and laying out every page, and the same followed by
// writing the whole report to a PDF file, as the report window's Save as PDF
// does. Printed beside the raw ODBC reference, with the pages made.

#include <benchmark/benchmark.h>

#include <QFile>

#include <string>

#include "bench/BenchEnv.h"
#include "platform/ado/Ado.h"
#include "report/DataReport1.h"
#include "store/Listing.h"

namespace numora::bench {
namespace {

// A4 inside one-inch margins, as the report lays its pages out for the printer.
constexpr int kPrintableHeightTwips = 16838 - 2 * 1440;

// The whole Personal group, read as the print command reads it.
store::Listing personalCards(ado::Connection& cn)
{
    store::Listing listing = store::listCards(store::kPersonalTable, std::nullopt, QStringLiteral(" ASC"), &cn);
    if (listing.failure)
        throw *listing.failure;
    return listing;
}

void BM_Report_Prepare(benchmark::State& state)
{
    ado::Connection cn;
    cn.Open(kConnectionString);
    int pages = 0;
    for (auto _ : state) {
        report::BandReport report;
        report.setDataSource(personalCards(cn));
        report.layout(kPrintableHeightTwips);
        pages = report.pageCount();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_Report_Prepare)->Unit(benchmark::kMillisecond);

void BM_Report_ExportPdf(benchmark::State& state)
{
    ado::Connection cn;
    cn.Open(kConnectionString);
    const QString file = QString::fromStdString(benchEnv().root) + QStringLiteral("/report.pdf");
    DataReport1 report;
    int pages = 0;
    for (auto _ : state) {
        report.setDataSource(personalCards(cn));
        if (!report.ExportPdf(file)) {
            state.SkipWithError("the PDF could not be written");
            break;
        }
        pages = report.layout().pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["PDF_MiB"] = static_cast<double>(QFile(file).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Report_ExportPdf)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace numora::bench
