#pragma once
// Reading a whole result into the client copy, a block of rows per fetch.

#include <sql.h>

#include <string>

#include "platform/ado/ClientResult.h"
#include "platform/ado/ConnectionHandle.h"

namespace numora::ado::detail {

// Runs sql on the connection and reads every row of its result into `into`.
// A query of rows (SELECT ...) is read with the row id of its table, when it
// has one table and the rows may be written back (writable), so that a write
// can single out its row even among rows that are alike; on a server, the
// table's key column "rowid" serves as the row id and is not one of the
// result's columns. Returns false when
// the statement gives no rows; *affected then holds the rows it changed.
bool readResult(const ConnectionHandle& conn, const std::string& sql, ClientResult& into, long* affected,
                bool writable = true);

} // namespace numora::ado::detail
