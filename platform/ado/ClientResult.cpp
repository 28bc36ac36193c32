#include "platform/ado/ClientResult.h"

#include "platform/ado/Messages.h"
#include "platform/odbc/Text.h"

namespace numora::ado::detail {

std::size_t ClientResult::appendRows(std::size_t count)
{
    const std::size_t first = rowCount();
    cells_.resize(cells_.size() + count * columns.size());
    rowIds_.resize(first + count);
    deleted_.resize(first + count);
    return first;
}

void ClientResult::clearRows()
{
    cells_.clear();
    texts_.clear();
    rowIds_.clear();
    deleted_.clear();
}

void ClientResult::tooLong() { fail(adErrProviderFailed, "The result is too large to be held."); }

void ClientResult::setValue(std::size_t row, std::size_t column, const Value& v)
{
    if (v)
        setText(row, column, *v);
    else
        cells_[row * columns.size() + column] = Cell{};
}

long ClientResult::findColumn(std::string_view name) const
{
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (odbc::equalsIgnoringLatinCase(columns[c].name, name))
            return static_cast<long>(c);
    }
    return -1;
}

std::size_t ClientResult::column(std::string_view name) const
{
    const long c = findColumn(name);
    if (c < 0)
        fail(adErrItemNotFound, kMsgNoSuchField);
    return static_cast<std::size_t>(c);
}

} // namespace numora::ado::detail
