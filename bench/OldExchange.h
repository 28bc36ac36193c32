#pragma once
// An export and an import of a group the way the exchange library did them
// through SQLite's own API, kept as the benchmarks' reference for the same
// work through the data core (tools/exchange/Exchange.h).

#include <string>

#include "tools/exchange/Exchange.h"

namespace numora::bench::oldway {

exchange::ExportResult exportGroup(const std::string& database, const store::Table& table, exchange::Format format,
                                   const std::string& file, const exchange::Progress& progress = {});
exchange::ImportPlan importFile(const std::string& database, const store::Table& table, exchange::Format format,
                                const std::string& file, bool dryRun, const exchange::Progress& progress = {});

} // namespace numora::bench::oldway
