// Cards as values and the writes made to them, over the ODBC layer's
// recordsets: a card written back finds its row as every optimistic write
// does, by the row's identity and every value it was read with.

#include "store/Card.h"

#include <QLoggingCategory>

#include <stdexcept>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "store/CardChecks.h"
#include "store/Listing.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora::store {
namespace {

Q_LOGGING_CATEGORY(lcCards, "numora.store", QtInfoMsg)

} // namespace

Card::Card(std::shared_ptr<ado::Recordset> row) : row_(std::move(row)) {}

Text Card::field(std::string_view column) const { return row_->Field(std::string(column)); }

QString Card::text(const Table& table, int f) const
{
    return trimBlanks(fieldText(field(table.columns[static_cast<std::size_t>(f)].name)));
}

LookUp::LookUp() = default;
LookUp::~LookUp() = default;

// The writes, with access to the rows behind listings and cards.
struct Writer {
    // Whether a card of the query's cards, read over cn into lookUp, has the
    // name once the blanks around it are gone, compared exactly.
    static bool nameIsUsed(ado::Connection& cn, const QString& sql, const std::string& name, LookUp& lookUp)
    {
        lookUp.sql = sql;
        lookUp.cards = std::make_unique<Listing>();
        Listing& cards = *lookUp.cards;
        cards.sql = sql;
        std::unique_ptr<ado::Recordset> rs = cn.Execute(sql.toStdString());
        // A query always gives a list, an empty one when no card matches.
        if (!rs)
            throw std::logic_error("The duplicate test's query gave no list of cards: " + sql.toStdString());
        cards.rs_ = std::move(rs);
        const long count = cards.count();
        if (count == 0)
            return false;
        const int nameColumn = cards.column("Name");
        for (long row = 0; row < count; ++row) {
            if (trimBlanks(cards.text(row, nameColumn).value_or(std::string_view())) == name)
                return true;
        }
        return false;
    }

    // The name test and then, when the name is free, the write, as one
    // transaction over cn. A server lets another client add the name
    // between the test and the write; its unique index then refuses the
    // write, which is told as the name being in use.
    template <class Write>
    static Written unlessNameUsed(ado::Connection& cn, const QString& sql, const std::string& name, LookUp& lookUp,
                                  Write&& write)
    {
        Transaction tx(cn);
        if (nameIsUsed(cn, sql, name, lookUp))
            return Written::NameUsed; // rolled back: nothing was written
        try {
            write();
        } catch (const Error& e) {
            if (!isNameTaken(e))
                throw;
            return Written::NameUsed; // rolled back
        }
        tx.commit();
        return Written::Card;
    }

    static Written add(const Listing& listed, const Table& table, const Fields& fields, LookUp& lookUp)
    {
        const std::unique_ptr<ado::Connection> cn = listed.rs_->ActiveConnection();
        // Every column of the description is written; a file that lacks one
        // refuses the card as the listing names its columns.
        std::vector<std::string> columns;
        for (const Column& column : table.columns) {
            (void)listed.column(column.name);
            columns.emplace_back(column.name);
        }
        return unlessNameUsed(*cn, tableSql(table), fields[kFieldName], lookUp, [&] {
            cn->InsertRows(table.name, columns, 1,
                           [&](std::size_t, std::size_t c) -> std::optional<std::string_view> { return fields[c]; });
        });
    }

    static Written update(Card& card, const Table& table, const Fields& fields,
                          const std::optional<QString>& nameTestSql, LookUp& lookUp)
    {
        ado::Recordset& row = *card.row_;
        const auto write = [&] {
            for (std::size_t f = 0; f < fields.size(); ++f)
                row.setField(table.columns[f].name, fields[f]);
            row.Update(); // only when the row is still as it was read
        };
        try {
            if (!nameTestSql) {
                write();
                return Written::Card;
            }
            const std::unique_ptr<ado::Connection> cn = row.ActiveConnection();
            const Written written = unlessNameUsed(*cn, *nameTestSql, fields[kFieldName], lookUp, write);
            if (written == Written::NameUsed)
                row.CancelUpdate(); // the server refused the edit: it is not left pending
            return written;
        } catch (const std::exception&) {
            // Nothing stays pending that a later write would take along.
            resumeNext(lcCards(), [&] { row.CancelUpdate(); });
            throw;
        }
    }

    static void remove(Card& card) { card.row_->Delete(); }
};

Transaction::Transaction(ado::Connection& cn) : cn_(cn) { cn_.BeginTrans(); }

Transaction::~Transaction()
{
    if (!done_)
        resumeNext(lcCards(), [&] { cn_.RollbackTrans(); });
}

void Transaction::commit()
{
    done_ = true;
    cn_.CommitTrans(); // a commit that fails rolls back
}

Written addCard(const Listing& listed, const Table& table, const Fields& fields, LookUp& lookUp)
{
    return Writer::add(listed, table, fields, lookUp);
}

Written updateCard(Card& card, const Table& table, const Fields& fields, const std::optional<QString>& nameTestSql,
                   LookUp& lookUp)
{
    return Writer::update(card, table, fields, nameTestSql, lookUp);
}

void deleteCard(Card& card) { Writer::remove(card); }

// ---- the edit-buffer demonstration ---------------------------------------------

NameEdit::NameEdit(std::unique_ptr<ado::Recordset> rs) : rs_(std::move(rs)) {}
NameEdit::NameEdit(NameEdit&&) noexcept = default;
NameEdit& NameEdit::operator=(NameEdit&&) noexcept = default;
NameEdit::~NameEdit() = default;

std::optional<NameEdit> NameEdit::open(const Table& table, const QString& name)
{
    auto rs = std::make_unique<ado::Recordset>();
    rs->setCursorType(ado::adOpenKeyset);
    rs->setLockType(ado::adLockOptimistic);
    rs->Open(lookupSql(table, name).toStdString(), groupConnectionString(table), -1, -1, ado::adCmdText);
    if (rs->Eof()) {
        rs->Close();
        return std::nullopt;
    }
    return NameEdit(std::move(rs));
}

Text NameEdit::name() const { return rs_->Field("Name"); }
void NameEdit::setName(const std::string& name) { rs_->setCollect("Name", name); }
void NameEdit::update() { rs_->Update(); }
void NameEdit::cancelUpdate() { rs_->CancelUpdate(); }
bool NameEdit::editPending() const { return rs_->EditPending(); }
void NameEdit::close() { rs_->Close(); }

} // namespace numora::store
