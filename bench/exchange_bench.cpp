// Trading a whole group of kCards cards with other address books: the
// Personal group exported to a vCard and to a CSV file, and each file
// imported into an empty directory file (read, checked and added in one
// transaction), as numora-dbtool does through the data core; and the same
// work done the way it was done through SQLite's own API (OldWay), which
// the core must not be slower than. Each prints its cards per second.
//
// Besides: the import set against another address book converting the same
// vCard to CSV (abook --convert), run in turn in one loop, with the ratio of
// their medians; and crafted 1 MB vCards that must be read in well under a
// second.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"
#include "bench/OldExchange.h"
#include "store/Tables.h"
#include "tools/DbFile.h"
#include "tools/exchange/Exchange.h"

extern char** environ;

namespace numora::bench {
namespace {

using exchange::Format;

std::string exchangeFile(Format format)
{
    return benchEnv().root + (format == Format::VCard ? "/group.vcf" : "/group.csv");
}

void cardsPerSecond(benchmark::State& state, std::size_t cards)
{
    state.counters["cards"] = static_cast<double>(cards);
    state.counters["cards_per_s"] =
        benchmark::Counter(static_cast<double>(cards), benchmark::Counter::kIsIterationInvariantRate);
}

using ExportFunction = exchange::ExportResult (*)(const std::string&, const store::Table&, Format, const std::string&,
                                                  const exchange::Progress&);
using ImportFunction = exchange::ImportPlan (*)(const std::string&, const store::Table&, Format, const std::string&,
                                                bool, const exchange::Progress&);

void exportCards(benchmark::State& state, Format format, ExportFunction exportGroup)
{
    std::size_t cards = 0;
    for (auto _ : state) {
        cards = exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format), {}).cards;
        benchmark::DoNotOptimize(cards);
    }
    cardsPerSecond(state, cards);
}

void importCards(benchmark::State& state, Format format, ImportFunction importFile)
{
    exchange::exportGroup(benchEnv().dbPath, store::kPersonalTable, format, exchangeFile(format));
    const std::string target = benchEnv().root + "/imported.mdb";
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(target.c_str());
        dbfile::createEmpty(target);
        state.ResumeTiming();
        added = importFile(target, store::kPersonalTable, format, exchangeFile(format), false, {}).toAdd.size();
    }
    std::remove(target.c_str());
    if (added == 0)
        state.SkipWithError("the import added nothing");
    cardsPerSecond(state, added);
}

void BM_Exchange_Export(benchmark::State& state, Format format) { exportCards(state, format, exchange::exportGroup); }
void BM_Exchange_ExportOldWay(benchmark::State& state, Format format)
{
    exportCards(state, format, oldway::exportGroup);
}
void BM_Exchange_Import(benchmark::State& state, Format format) { importCards(state, format, exchange::importFile); }
void BM_Exchange_ImportOldWay(benchmark::State& state, Format format)
{
    importCards(state, format, oldway::importFile);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the program to its end; whether it ended well.
bool run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The vCard import into an empty file, writes included, against abook
// converting the same file to CSV: one of each per iteration, the time of
// ours as the benchmark's, both medians and their ratio as counters. Beside
// them, in the same loop, where the time goes: the same import as a dry run
// (reading and checking the cards, nothing written), and the import that
// writes through SQLite's own prepared statement instead of the data core,
// whose writes are the least any import into this engine can spend.
void BM_Exchange_ImportAgainstAbook(benchmark::State& state)
{
    const std::string vcf = exchangeFile(Format::VCard);
    exchange::exportGroup(benchEnv().dbPath, store::kPersonalTable, Format::VCard, vcf);
    const std::string target = benchEnv().root + "/imported.mdb";
    const std::string csv = benchEnv().root + "/abook.csv";
    std::vector<double> ours, theirs, dry, engine;
    const auto timed = [&](std::vector<double>& into, auto&& work) {
        std::remove(target.c_str());
        dbfile::createEmpty(target);
        const auto start = std::chrono::steady_clock::now();
        const auto result = work();
        into.push_back(secondsSince(start));
        return result;
    };
    for (auto _ : state) {
        const std::size_t added = timed(ours, [&] {
            return exchange::importFile(target, store::kPersonalTable, Format::VCard, vcf, false).toAdd.size();
        });
        state.SetIterationTime(ours.back());
        std::remove(csv.c_str()); // abook writes over no file
        const bool converted = timed(theirs, [&] {
            return run(
                {"abook", "--convert", "--informat", "vcard", "--infile", vcf, "--outformat", "csv", "--outfile", csv});
        });
        timed(dry, [&] {
            return exchange::importFile(target, store::kPersonalTable, Format::VCard, vcf, true).toAdd.size();
        });
        timed(engine, [&] {
            return oldway::importFile(target, store::kPersonalTable, Format::VCard, vcf, false).toAdd.size();
        });
        if (added == 0 || !converted) {
            state.SkipWithError(converted ? "the import added nothing" : "abook --convert failed");
            break;
        }
    }
    std::remove(target.c_str());
    std::remove(csv.c_str());
    const double ratio = median(theirs) > 0 ? median(ours) / median(theirs) : 0;
    state.counters["ours_ms"] = median(ours) * 1000;
    state.counters["abook_ms"] = median(theirs) * 1000;
    state.counters["ratio"] = ratio;
    std::printf("vCard import of %d cards: %.1f ms, abook --convert of the same file: %.1f ms, ratio %.2fx\n"
                "  of the import: reading and checking %.1f ms (dry run); the same import writing through SQLite's "
                "own prepared statement %.1f ms, so its writes alone %.1f ms\n",
                kCards, median(ours) * 1000, median(theirs) * 1000, ratio, median(dry) * 1000, median(engine) * 1000,
                (median(engine) - median(dry)) * 1000);
}

// About 1 MB of vCard in the shapes that made reading slow as the file grew:
// one quoted-printable value over thousands of soft-broken lines, and a line
// with no ':' folded thousands of times, each part ending in '='.
std::string craftedVcard(int shape)
{
    std::string out = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
    out += shape == 0 ? "FN;ENCODING=QUOTED-PRINTABLE:" : "X-NOTHING";
    while (out.size() < 1024 * 1024)
        out += shape == 0 ? "=41=42=43=44=45=46=47=48=49=4A=4B=4C=4D=4E=4F=50=51=52=53=54=55=56=57=58=\r\n"
                          : "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTU=\r\n ";
    out += "A\r\nTEL:1\r\nEND:VCARD\r\n";
    return out;
}

void BM_Exchange_ReadCrafted(benchmark::State& state)
{
    const std::string vcf = craftedVcard(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(exchange::readVcard(vcf));
        if (secondsSince(start) > 1.0) {
            state.SkipWithError("reading 1 MB took more than a second");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * vcf.size()));
}

BENCHMARK_CAPTURE(BM_Exchange_Export, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ExportOldWay, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Export, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ExportOldWay, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ImportOldWay, VCard, Format::VCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_Import, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Exchange_ImportOldWay, Csv, Format::Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Exchange_ImportAgainstAbook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_Exchange_ReadCrafted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace numora::bench
