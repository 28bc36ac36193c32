#pragma once
// What an open recordset holds: the client copy of its result, the rows a
// filter or a deletion leaves visible, the current row, and an edit in
// progress.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/ado/ClientResult.h"
#include "platform/ado/ConnectionHandle.h"
#include "platform/ado/Filter.h"

namespace numora::ado {

struct Recordset::Impl {
    struct Edit {
        bool adding = false;
        std::size_t row = 0;                      // the row being changed (not when adding)
        std::vector<std::optional<Value>> values; // assigned columns only
        long savedPos = 0;                        // where AddNew started from
        bool savedOnDeleted = false;
    };

    std::shared_ptr<ConnectionHandle> conn;
    detail::ClientResult result;
    std::vector<std::uint32_t> view; // visible rows in order
    long pos = 0;                    // index into view; -1 is BOF, view.size() is EOF
    bool onDeleted = false;          // the current row was deleted; pos is the row after it
    std::optional<Edit> edit;

    long visible() const { return static_cast<long>(view.size()); }
    bool hasCurrentRow() const { return !onDeleted && pos >= 0 && pos < visible(); }
    std::size_t currentRow() const { return view[static_cast<std::size_t>(pos)]; }

    void showAll();
    void showMatching(const detail::LikeFilter& f);
};

} // namespace numora::ado
