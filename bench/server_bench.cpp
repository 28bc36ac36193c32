// A group on a database server, against one server of the run's own (the
// tests' server script, started at the first of these benchmarks and stopped
// at the end), holding the sample's Work group of kCards cards:
// - listing the group through the data core against reading the same
//   statement straight through ODBC with block fetch, both printed with
//   their ratio;
// - eight writers updating cards at once: writes per second and the 99th
//   percentile of one write's time;
// - the window's check for colleagues' changes when nothing changed.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchEnv.h"
#include "platform/ado/Ado.h"
#include "store/Card.h"
#include "store/Listing.h"
#include "store/Server.h"
#include "store/Tables.h"

namespace numora::bench {
namespace {

constexpr char kServerSource[] = "Numora Bench Server";
constexpr char kServerListingSql[] = "select * from Work order by Name  ASC";

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Server {
    std::string state;
    std::string failure; // why there is none
};

bool runScript(const char* action, const std::string& state)
{
    QProcess script;
    script.start(QStringLiteral("bash"),
                 {QStringLiteral(NUMORA_PGSERVER_SCRIPT), QLatin1String(action), QString::fromStdString(state)});
    return script.waitForFinished(120000) && script.exitCode() == 0;
}

std::map<std::string, std::string> readState(const std::string& file)
{
    std::map<std::string, std::string> keys;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (const auto eq = line.find('='); eq != std::string::npos)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

bool g_started = false;

Server& server()
{
    static Server s = [] {
        g_started = true;
        Server made;
        QTemporaryFile file(QStringLiteral("/tmp/numora-bench-pg.XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open()) {
            made.failure = "no temporary file";
            return made;
        }
        made.state = file.fileName().toStdString();
        if (!runScript("start", made.state)) {
            made.failure = "the server script failed";
            return made;
        }
        auto keys = readState(made.state);
        if (keys.count("PG_UNAVAILABLE")) {
            made.failure = keys["PG_UNAVAILABLE"];
            return made;
        }
        // The data source, in the benchmark's own data-source file.
        std::ofstream(std::getenv("ODBCINI"), std::ios::app)
            << "\n[" << kServerSource << "]\nDriver=PostgreSQL Unicode\nServername=" << keys["PG_SOCKET"]
            << "\nPort=" << keys["PG_PORT"] << "\nDatabase=" << keys["PG_DATABASE"] << "\nUsername=" << keys["PG_USER"]
            << "\n";
        try {
            ado::Connection cn;
            cn.Open(std::string("DSN=") + kServerSource);
            store::createServerTable(cn, store::kWorkTable);
            store::copyGroup(store::kWorkTable, store::GroupPlace::parse(benchEnv().dbPath),
                             store::GroupPlace::parse(std::string("dsn:") + kServerSource));
            cn.Execute("ANALYZE work");
        } catch (const std::exception& e) {
            made.failure = e.what();
        }
        return made;
    }();
    return s;
}

bool serverReady(benchmark::State& state)
{
    if (!server().failure.empty()) {
        state.SkipWithError(("no database server: " + server().failure).c_str());
        return false;
    }
    store::setGroupDataSource(store::kWorkTable, QString::fromLatin1(kServerSource));
    return true;
}

// The whole Work group listed through the data core, its grid fields walked
// as the fill walks them; and, in the same iteration, the same statement
// read straight through ODBC, every column bound (the key and the seven
// fields), a block of rows a fetch.
void BM_Server_ListingVsRawOdbc(benchmark::State& state)
{
    if (!serverReady(state))
        return;
    std::vector<double> core, raw;
    long rows = 0;
    for (auto _ : state) {
        const auto began = Clock::now();
        {
            const store::Listing listing = store::listCards(store::kWorkTable, std::nullopt, QStringLiteral(" ASC"));
            rows = listing.count();
            benchmark::DoNotOptimize(walkGridFields(listing, store::kWorkTable));
        }
        core.push_back(msSince(began));
        const auto rawBegan = Clock::now();
        benchmark::DoNotOptimize(
            readRawOdbc(std::string("DSN=") + kServerSource, kServerListingSql, 1 + store::kCardFields, state));
        raw.push_back(msSince(rawBegan));
    }
    state.counters["cards"] = static_cast<double>(rows);
    state.counters["core_ms"] = median(core);
    state.counters["raw_odbc_ms"] = median(raw);
    state.counters["core_x_raw"] = median(raw) > 0 ? median(core) / median(raw) : 0;
}
BENCHMARK(BM_Server_ListingVsRawOdbc)->Unit(benchmark::kMillisecond)->Iterations(10);

// Eight writers, each on a connection of its own, each updating a card of
// its own again and again against the card as it was read (the optimistic
// write every window makes), all at once.
void BM_Server_EightWriters(benchmark::State& state)
{
    if (!serverReady(state))
        return;
    constexpr int kWriters = 8;
    constexpr int kWritesEach = 200;
    std::vector<double> latencies;
    double writesPerSecond = 0;
    for (auto _ : state) {
        std::vector<std::vector<double>> each(kWriters);
        std::atomic<int> failures{0};
        const auto began = Clock::now();
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([w, &each, &failures] {
                try {
                    ado::Connection cn;
                    cn.Open(store::groupConnectionString(store::kWorkTable));
                    const store::Listing listing =
                        store::cardsNamed(cn, store::kWorkTable, QStringLiteral("bench writer %1").arg(w));
                    std::optional<store::Card> card;
                    store::LookUp lookUp;
                    if (listing.count() == 0) {
                        const store::Listing all = store::listCards(store::kWorkTable, std::nullopt, " ASC", &cn);
                        store::addCard(all, store::kWorkTable,
                                       {"bench writer " + std::to_string(w), "", "", "", "", "", ""}, lookUp);
                        card =
                            store::cardsNamed(cn, store::kWorkTable, QStringLiteral("bench writer %1").arg(w)).card(1);
                    } else {
                        card = listing.card(1);
                    }
                    for (int i = 0; i < kWritesEach; ++i) {
                        const auto t = Clock::now();
                        store::updateCard(*card, store::kWorkTable,
                                          {"bench writer " + std::to_string(w), std::to_string(i), "", "", "", "", ""},
                                          std::nullopt, lookUp);
                        each[static_cast<std::size_t>(w)].push_back(msSince(t));
                    }
                } catch (const std::exception&) {
                    ++failures;
                }
            });
        }
        for (std::thread& t : writers)
            t.join();
        const double seconds = msSince(began) / 1000;
        if (failures > 0) {
            state.SkipWithError("a writer failed");
            return;
        }
        for (const auto& times : each)
            latencies.insert(latencies.end(), times.begin(), times.end());
        writesPerSecond = kWriters * kWritesEach / seconds;
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["writes_per_s"] = writesPerSecond;
    state.counters["p99_write_ms"] = latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100];
}
BENCHMARK(BM_Server_EightWriters)->Unit(benchmark::kMillisecond)->Iterations(3);

// The window's look for colleagues' changes, nothing having changed: one
// small query over a kept connection.
void BM_Server_ChangeCheck(benchmark::State& state)
{
    if (!serverReady(state))
        return;
    ado::Connection cn;
    cn.Open(store::groupConnectionString(store::kWorkTable));
    for (auto _ : state)
        benchmark::DoNotOptimize(store::changeCount(cn, store::kWorkTable));
}
BENCHMARK(BM_Server_ChangeCheck)->Unit(benchmark::kMicrosecond);

} // namespace

void stopBenchServer()
{
    // Only when a server benchmark started it.
    if (!g_started)
        return;
    g_started = false;
    store::setGroupDataSource(store::kWorkTable, {});
    runScript("stop", server().state);
    QFile::remove(QString::fromStdString(server().state));
}

} // namespace numora::bench
