// The recordset: opening and closing, moving over the visible rows, the
// fields of the current row, and the edit buffer.

#include "platform/ado/Ado.h"

#include "platform/ado/BlockReader.h"
#include "platform/ado/Messages.h"
#include "platform/ado/RecordsetImpl.h"
#include "platform/ado/RowWriter.h"

namespace numora::ado {

using namespace detail;

void Recordset::Impl::showAll()
{
    view.clear();
    view.reserve(result.rowCount());
    for (std::size_t r = 0; r < result.rowCount(); ++r) {
        if (!result.deleted(r))
            view.push_back(static_cast<std::uint32_t>(r));
    }
}

void Recordset::Impl::showMatching(const LikeFilter& f)
{
    view.clear();
    for (std::size_t r = 0; r < result.rowCount(); ++r) {
        if (result.deleted(r))
            continue;
        const auto text = result.text(r, f.column);
        if (text && likeMatches(f, *text))
            view.push_back(static_cast<std::uint32_t>(r));
    }
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

namespace {

void requireOpen(const void* impl)
{
    if (!impl)
        fail(adErrObjectClosed, kMsgClosed);
}

} // namespace

void Recordset::setCursorType(int type)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    cursorType_ = type;
}

void Recordset::setLockType(int type)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    lockType_ = type;
}

void Recordset::Open(const std::string& source, const std::string& connectionString, int cursorType, int lockType,
                     long /*options*/)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    Connection own;
    own.Open(connectionString);
    Open(source, own, cursorType, lockType);
}

void Recordset::Open(const std::string& source, Connection& activeConnection, int cursorType, int lockType,
                     long /*options*/)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    if (activeConnection.State() != adStateOpen)
        fail(adErrObjectClosed, kMsgClosed);
    if (cursorType != adOpenUnspecified)
        cursorType_ = cursorType;
    if (lockType != adLockUnspecified)
        lockType_ = lockType;

    auto impl = std::make_unique<Impl>();
    impl->conn = activeConnection.handle();
    // A read-only recordset writes no row back, and needs no row ids.
    if (!readResult(*impl->conn, source, impl->result, nullptr, lockType_ != adLockReadOnly))
        return; // a statement without rows ran; the recordset stays closed
    detail::releaseCache(*impl->conn);
    impl->showAll();
    d_ = std::move(impl);
    filter_.clear();
}

void Recordset::Close()
{
    requireOpen(d_.get());
    d_.reset(); // a pending edit goes unwritten
    filter_.clear();
}

int Recordset::State() const { return d_ ? adStateOpen : adStateClosed; }

void Recordset::setFilter(const std::string& filter)
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    d_->pos = 0;
    d_->onDeleted = false;
    if (filter.empty()) {
        d_->showAll();
        filter_.clear();
        return;
    }
    std::vector<std::string> names;
    for (const auto& c : d_->result.columns)
        names.push_back(c.name);
    const auto parsed = parseLikeFilter(filter, names);
    if (!parsed) {
        d_->showAll();
        filter_.clear();
        fail(adErrInvalidArgument, kMsgBadArguments);
    }
    d_->showMatching(*parsed);
    filter_ = filter;
}

bool Recordset::Eof() const
{
    requireOpen(d_.get());
    if ((d_->edit && d_->edit->adding) || d_->onDeleted)
        return false;
    return d_->view.empty() || d_->pos >= d_->visible();
}

bool Recordset::Bof() const
{
    requireOpen(d_.get());
    if ((d_->edit && d_->edit->adding) || d_->onDeleted)
        return false;
    return d_->view.empty() || d_->pos < 0;
}

long Recordset::RecordCount() const
{
    requireOpen(d_.get());
    return d_->visible();
}

namespace {

// Positions run from -1 (BOF) to the number of visible rows (EOF); a move may
// land on either end but never beyond, and a failed move changes nothing.
void moveTo(long& pos, bool& onDeleted, long target, long visible)
{
    if (target < -1 || target > visible)
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    pos = target;
    onDeleted = false;
}

} // namespace

void Recordset::MoveFirst()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    if (d_->view.empty())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    d_->pos = 0;
    d_->onDeleted = false;
}

void Recordset::MoveNext()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    moveTo(d_->pos, d_->onDeleted, d_->onDeleted ? d_->pos : d_->pos + 1, d_->visible());
}

void Recordset::MovePrevious()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    moveTo(d_->pos, d_->onDeleted, d_->pos - 1, d_->visible());
}

void Recordset::Move(long n)
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    long target = d_->pos + n;
    if (d_->onDeleted) {
        // pos already stands on the row after the deleted one
        if (n == 0)
            fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
        if (n > 0)
            target = d_->pos + n - 1;
    }
    moveTo(d_->pos, d_->onDeleted, target, d_->visible());
}

int Recordset::FieldCount() const { return d_ ? static_cast<int>(d_->result.columns.size()) : 0; }

std::string Recordset::FieldName(int index) const
{
    requireOpen(d_.get());
    if (index < 0 || index >= FieldCount())
        fail(adErrItemNotFound, kMsgNoSuchField);
    return d_->result.columns[static_cast<std::size_t>(index)].name;
}

Value Recordset::Field(const std::string& name) const
{
    requireOpen(d_.get());
    return Field(static_cast<int>(d_->result.column(name)));
}

Value Recordset::Field(int index) const
{
    const auto text = FieldView(index);
    return text ? Value(std::string(*text)) : Value();
}

std::optional<std::string_view> Recordset::FieldView(int index) const
{
    requireOpen(d_.get());
    if (index < 0 || index >= FieldCount())
        fail(adErrItemNotFound, kMsgNoSuchField);
    const auto c = static_cast<std::size_t>(index);
    if (d_->edit) {
        if (const std::optional<Value>& assigned = d_->edit->values[c])
            return *assigned ? std::optional<std::string_view>(**assigned) : std::nullopt;
        if (d_->edit->adding)
            return std::nullopt;
        return d_->result.text(d_->edit->row, c);
    }
    if (!d_->hasCurrentRow())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    return d_->result.text(d_->currentRow(), c);
}

std::optional<std::string_view> Recordset::FieldViewAt(long row, int index) const
{
    requireOpen(d_.get());
    if (index < 0 || index >= FieldCount())
        fail(adErrItemNotFound, kMsgNoSuchField);
    if (row < 0 || row >= d_->visible())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    return d_->result.text(d_->view[static_cast<std::size_t>(row)], static_cast<std::size_t>(index));
}

namespace {

void requireWritable(int lockType, const std::string& table)
{
    if (lockType == adLockReadOnly || lockType == adLockUnspecified)
        fail(adErrFeatureNotAvailable, kMsgReadOnly);
    if (table.empty())
        fail(adErrFeatureNotAvailable, kMsgNotOneTable);
}

} // namespace

void Recordset::setField(const std::string& name, Value v)
{
    requireOpen(d_.get());
    const std::size_t c = d_->result.column(name);
    requireWritable(lockType_, d_->result.table);
    if (!d_->edit) {
        if (!d_->hasCurrentRow())
            fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
        Impl::Edit e;
        e.row = d_->currentRow();
        e.values.resize(d_->result.columns.size());
        d_->edit = std::move(e);
    }
    d_->edit->values[c] = std::move(v);
}

void Recordset::AddNew()
{
    requireOpen(d_.get());
    requireWritable(lockType_, d_->result.table);
    if (d_->edit)
        Update();
    Impl::Edit e;
    e.adding = true;
    e.values.resize(d_->result.columns.size());
    e.savedPos = d_->pos;
    e.savedOnDeleted = d_->onDeleted;
    d_->edit = std::move(e);
}

void Recordset::Update()
{
    requireOpen(d_.get());
    if (!d_->edit)
        return;
    requireWritable(lockType_, d_->result.table);
    Impl& d = *d_;
    if (d.edit->adding) {
        const std::size_t row = insertRow(*d.conn, d.result, d.edit->values);
        d.view.push_back(static_cast<std::uint32_t>(row));
        d.pos = d.visible() - 1;
        d.onDeleted = false;
    } else {
        updateRow(*d.conn, d.result, d.edit->row, d.edit->values);
    }
    d.edit.reset();
}

void Recordset::CancelUpdate()
{
    requireOpen(d_.get());
    if (!d_->edit)
        return;
    if (d_->edit->adding) {
        d_->pos = d_->edit->savedPos;
        d_->onDeleted = d_->edit->savedOnDeleted;
    }
    d_->edit.reset();
}

void Recordset::Delete()
{
    requireOpen(d_.get());
    requireWritable(lockType_, d_->result.table);
    if (d_->edit && d_->edit->adding) {
        CancelUpdate(); // the new row was never stored: dropping it is its deletion
        return;
    }
    if (!d_->hasCurrentRow())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    const auto at = static_cast<std::size_t>(d_->pos);
    const std::size_t row = d_->view[at];
    deleteRow(*d_->conn, d_->result, row);
    d_->edit.reset();
    d_->result.markDeleted(row);
    d_->view.erase(d_->view.begin() + static_cast<std::ptrdiff_t>(at));
    d_->onDeleted = true;
}

bool Recordset::EditPending() const { return d_ && d_->edit.has_value(); }

std::unique_ptr<Recordset> Recordset::CopyCurrentRow() const
{
    requireOpen(d_.get());
    if (!d_->hasCurrentRow())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    const std::size_t from = d_->currentRow();
    const ClientResult& source = d_->result;

    auto impl = std::make_unique<Impl>();
    impl->conn = d_->conn;
    ClientResult& copy = impl->result;
    copy.columns = source.columns;
    copy.table = source.table;
    copy.rowIds = source.rowIds;
    const std::size_t row = copy.appendRows(1);
    for (std::size_t c = 0; c < source.columns.size(); ++c) {
        if (const auto text = source.text(from, c))
            copy.setText(row, c, *text);
    }
    if (source.rowIds)
        copy.setRowId(row, source.rowId(from));
    impl->showAll();

    auto rs = std::make_unique<Recordset>();
    rs->d_ = std::move(impl);
    rs->cursorType_ = cursorType_;
    rs->lockType_ = lockType_;
    return rs;
}

std::unique_ptr<Connection> Recordset::ActiveConnection() const
{
    requireOpen(d_.get());
    auto cn = std::make_unique<Connection>();
    cn->handle_ = d_->conn;
    return cn;
}

} // namespace numora::ado
