#pragma once
// Writing a recordset's changes back to its table, one row at a time.
//
// A changed or deleted row is singled out by its row id (when the result has
// them) and by every value it was read with: a row another program changed
// or deleted meanwhile matches nothing, and the write fails with
// adErrRowChangedOrMissing. Each write runs in a transaction of its own (or
// joins the one the connection's owner began) and must touch exactly one row,
// or it is rolled back and nothing is written.

#include <sql.h>

#include <optional>
#include <vector>

#include "platform/ado/ClientResult.h"
#include "platform/ado/ConnectionHandle.h"

namespace numora::ado::detail {

using Assigned = std::vector<std::optional<Value>>; // per column; nullopt: not assigned

// Inserts a row of the assigned values and appends it to the result as the
// table stored it; returns its index.
std::size_t insertRow(const ConnectionHandle& conn, ClientResult& result, const Assigned& values);

// Writes the assigned values over row, in the table and in the result.
void updateRow(const ConnectionHandle& conn, ClientResult& result, std::size_t row, const Assigned& values);

// Deletes row from the table (the result keeps it; the caller marks it).
void deleteRow(const ConnectionHandle& conn, const ClientResult& result, std::size_t row);

} // namespace numora::ado::detail
