#pragma once
// The client copy of a result: its columns, and every row's values in
// result order, the texts back to back in a text store and each cell a
// position and a length (negative for Null). A row may carry the engine's
// row id, which is never one of the fields. Deleted rows stay in place,
// marked.

#include <sql.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/core/TextStore.h"

namespace numora::ado::detail {

struct Column {
    std::string name;
    std::string baseTable;
    std::string baseColumn;
    SQLLEN octetLength = 0;
};

class ClientResult {
public:
    std::vector<Column> columns;
    std::string table;   // the one table every column comes from; empty when there is none
    bool rowIds = false; // whether each row carries its row id in that table

    std::size_t rowCount() const { return deleted_.size(); }

    // Adds count rows of Nulls at the end; returns the index of the first.
    std::size_t appendRows(std::size_t count);
    // Drops every row (the columns stay).
    void clearRows();

    std::optional<std::string_view> text(std::size_t row, std::size_t column) const
    {
        const Cell& c = cells_[row * columns.size() + column];
        if (c.length < 0)
            return std::nullopt;
        return std::string_view(texts_.at(c.at), static_cast<std::size_t>(c.length));
    }
    Value value(std::size_t row, std::size_t column) const
    {
        const auto t = text(row, column);
        return t ? Value(std::string(*t)) : Value();
    }
    void setText(std::size_t row, std::size_t column, std::string_view text)
    {
        if (text.size() > kLongest)
            tooLong();
        Cell& c = cells_[row * columns.size() + column];
        c.at = texts_.put(text);
        c.length = static_cast<std::int32_t>(text.size());
    }
    void setValue(std::size_t row, std::size_t column, const Value& v);

    std::int64_t rowId(std::size_t row) const { return rowIds_[row]; }
    void setRowId(std::size_t row, std::int64_t id) { rowIds_[row] = id; }

    bool deleted(std::size_t row) const { return deleted_[row] != 0; }
    void markDeleted(std::size_t row) { deleted_[row] = 1; }

    // The index of the column of that name (compared without regard to
    // Latin case); -1 when there is none.
    long findColumn(std::string_view name) const;
    // As findColumn, failing with adErrItemNotFound.
    std::size_t column(std::string_view name) const;

private:
    static constexpr std::size_t kLongest = 0x7FFFFFFF;
    [[noreturn]] static void tooLong();

    struct Cell {
        std::uint32_t at = 0;
        std::int32_t length = -1;
    };

    std::vector<Cell> cells_; // row after row
    TextStore texts_;
    std::vector<std::int64_t> rowIds_;
    std::vector<std::uint8_t> deleted_;
};

} // namespace numora::ado::detail
