#pragma once
// The layer's own failures, with the texts the program shows for them.

#include "platform/ado/Ado.h"

namespace numora::ado::detail {

inline constexpr char kMsgNoCurrentRecord[] = "Either BOF or EOF is True, or the current record has been deleted. "
                                              "Requested operation requires a current record.";
inline constexpr char kMsgClosed[] = "Operation is not allowed when the object is closed.";
inline constexpr char kMsgOpen[] = "Operation is not allowed when the object is open.";
inline constexpr char kMsgBadArguments[] = "Arguments are of the wrong type, are out of acceptable range, or are "
                                           "in conflict with one another.";
inline constexpr char kMsgNoSuchField[] = "Item cannot be found in the collection corresponding to the requested "
                                          "name or ordinal.";
inline constexpr char kMsgReadOnly[] = "Current Recordset does not support updating. This may be a limitation of "
                                       "the provider, or of the selected locktype.";
inline constexpr char kMsgNotOneTable[] = "The rows do not all come from one table, so they cannot be changed.";
inline constexpr char kMsgRowConflict[] = "The record was changed or deleted by another user, or is not unique; "
                                          "nothing was written.";

[[noreturn]] inline void fail(long number, const char* description) { throw Error(number, description); }

} // namespace numora::ado::detail
