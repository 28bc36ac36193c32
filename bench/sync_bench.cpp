// The Personal group of kCards cards kept in step with a folder of one-card
// vCard files: a sync when nothing changed, and one after 100 of the folder's
// cards changed, each set against a plain vCard export of the same group
// timed in the same iterations (x_export: the sync's time over the
// export's). A sync with nothing changed reads the folder's file list and the
// group once, and should cost no more than twice the export. first_sync_s:
// the first sync, which writes every card to an empty folder.

#include <benchmark/benchmark.h>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchEnv.h"
#include "store/Tables.h"
#include "tools/exchange/Exchange.h"
#include "tools/exchange/Sync.h"

namespace numora::bench {
namespace {

struct SyncBed {
    std::string database, folder, exported;
    std::vector<std::string> files;
    double firstSync = 0; // seconds: every card written to an empty folder
};

// A copy of the sample directory and its folder after a first sync; the
// copy keeps the sample itself free of the sync's record.
const SyncBed& syncBed()
{
    static const SyncBed bed = [] {
        SyncBed b;
        b.database = benchEnv().root + "/sync.mdb";
        b.folder = benchEnv().root + "/cards";
        b.exported = benchEnv().root + "/sync-export.vcf";
        std::filesystem::copy_file(benchEnv().dbPath, b.database, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::create_directories(b.folder);
        const auto t0 = std::chrono::steady_clock::now();
        exchange::syncGroup(b.database, store::kPersonalTable, b.folder, {});
        b.firstSync = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        for (const auto& entry : std::filesystem::directory_iterator(b.folder)) {
            if (entry.path().extension() == ".vcf")
                b.files.push_back(entry.path().string());
        }
        return b;
    }();
    return bed;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_Sync(benchmark::State& state)
{
    const SyncBed& bed = syncBed();
    const auto changed = static_cast<std::size_t>(state.range(0));
    if (bed.files.size() < changed) {
        state.SkipWithError("the first sync wrote too few files");
        return;
    }
    double synced = 0, exported = 0;
    int round = 0;
    for (auto _ : state) {
        // The phone's edits: a number changed on each of the first cards.
        ++round;
        for (std::size_t i = 0; i < changed; ++i) {
            std::string card = exchange::readFile(bed.files[i]);
            const std::size_t end = card.find("END:VCARD");
            card.insert(end, "NOTE:round " + std::to_string(round) + "\r\n");
            const std::size_t tel = card.find("TEL;TYPE=cell:");
            if (tel != std::string::npos)
                card.replace(tel + 14, 3, std::to_string(100 + round % 900));
            exchange::writeFileSafely(bed.files[i], card);
        }
        const auto t0 = std::chrono::steady_clock::now();
        const exchange::SyncResult result = exchange::syncGroup(bed.database, store::kPersonalTable, bed.folder, {});
        const auto t1 = std::chrono::steady_clock::now();
        exchange::exportGroup(bed.database, store::kPersonalTable, exchange::Format::VCard, bed.exported, {},
                              exchange::WriteOptions{"3.0"});
        const auto t2 = std::chrono::steady_clock::now();
        if (changed && result.changedInGroup.empty())
            state.SkipWithError("the changed cards did not reach the group");
        state.SetIterationTime(seconds(t1 - t0));
        synced += seconds(t1 - t0);
        exported += seconds(t2 - t1);
    }
    state.counters["export_ms"] = benchmark::Counter(exported * 1000, benchmark::Counter::kAvgIterations);
    state.counters["x_export"] = exported > 0 ? synced / exported : 0;
    state.counters["first_sync_s"] = bed.firstSync;
    std::remove(bed.exported.c_str());
}

} // namespace

BENCHMARK(BM_Sync)->ArgName("changed")->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace numora::bench
