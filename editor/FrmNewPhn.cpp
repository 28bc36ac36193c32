// The record editor's loading, its checks and its buttons.
#include "editor/FrmNewPhn.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QToolButton>

#include <array>
#include <string>

#include "mainwin/Module1.h"
#include "mainwin/frmVemo.h"
#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "platform/ui/MsgBox.h"
#include "store/Store.h"

namespace numora {
namespace {

// Failures the editor passes over on purpose (Undo, the refresh after a save)
// and the load errors it reports are logged here.
Q_LOGGING_CATEGORY(lcEditor, "numora.editor", QtInfoMsg)

// The boxes by the index of their column in the table description.
enum Field : int {
    kName = store::kFieldName,
    kHome = store::kFieldHome,
    kMobile = store::kFieldMobile,
    kWork = store::kFieldWork,
    kFax = store::kFieldFifth,
    kAddress = store::kFieldAddress,
    kEmail = store::kFieldEmail,
};

constexpr char kNoCardToUpdate[] = "There is no record to update";
constexpr char kListNotRead[] = "The record was not saved: the main window could not read its list of cards. "
                                "Choose the letter again in the main window, then add the record.";
constexpr char kNoGroup[] = "The record was not saved: the main window shows neither the Personal nor the Work group.";

// Error numbers of the editor's own refusals.
constexpr long kErrInvalidUseOfNull = 94;
constexpr long kErrNoGroup = 5; // invalid procedure call

void errorBox(const QString& text) { ui::MsgBox(text, ui::vbOKOnly | ui::vbCritical, QStringLiteral("Error Message")); }

// The main window while it is loaded; the editor may outlive it, as Quit
// unloads the main window only.
frmVemo* mainWindow()
{
    frmVemo* main = frmVemo::existingInstance();
    return main && main->isLoaded() ? main : nullptr;
}

QString currentGroup() { return frmVemo::groupShown(); }

const store::Table& groupTable()
{
    const store::Table* table = store::tableForGroup(currentGroup());
    if (!table)
        throw Error(kErrNoGroup, kNoGroup);
    return *table;
}

QString columnText(const ado::Recordset& card, const store::Table& table, int field)
{
    return store::trimBlanks(store::fieldText(card.Field(table.columns[static_cast<size_t>(field)].name)));
}

// Whether the name is used by a card of the group's table, by the query
// given over the connection given: every card's name, trimmed, compared
// exactly (case and all). The look-up recordset and its query text are
// shared with the search window.
bool nameIsUsed(ado::Connection& cn, const QString& sql, const QString& name)
{
    Module1State& m = Module1();
    m.strLookupSql = sql;
    m.rsLookup = cn.Execute(sql.toStdString());
    // A query always gives a list, an empty one when no card matches.
    if (!m.rsLookup)
        throw std::logic_error("The duplicate test's query gave no list of cards: " + sql.toStdString());
    ado::Recordset& rs = *m.rsLookup;
    if (rs.Eof())
        return false;
    const std::string wanted = name.toStdString();
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        if (store::trimBlanks(rs.Field("Name").value_or(std::string())) == wanted)
            return true;
    }
    return false;
}

// Runs the duplicate test and then, when the name is free, the write, as one
// transaction over the connection the card is written through: another
// instance cannot add the same name between the two. False when the name is
// used; nothing is written then.
template <class Write>
bool writeUnlessNameUsed(ado::Recordset& target, const QString& sql, const QString& name, Write&& write)
{
    const std::unique_ptr<ado::Connection> cn = target.ActiveConnection();
    cn->BeginTrans();
    bool used = true;
    try {
        used = nameIsUsed(*cn, sql, name);
        if (!used)
            write();
    } catch (const std::exception&) {
        resumeNext(lcEditor(), [&] { cn->RollbackTrans(); });
        throw;
    }
    if (used)
        cn->RollbackTrans();
    else
        cn->CommitTrans();
    return !used;
}

// A save that failed leaves nothing pending in the recordset, so that no
// later move writes it behind the user's back.
void dropEdit(ado::Recordset* rs)
{
    if (rs)
        resumeNext(lcEditor(), [&] { rs->CancelUpdate(); });
}

// A card saved: the confirmation, the main window's list read again for its
// group and letter, and the editor closes.
void saved(QWidget& editor, const QString& confirmation)
{
    ui::MsgBox(confirmation, ui::vbOKOnly, ui::appTitle());
    if (frmVemo* main = mainWindow())
        main->RefreshGrid();
    else
        qCDebug(lcEditor) << "no main window to list the saved card";
    editor.close();
}

} // namespace

// ---- loading ------------------------------------------------------------------------

bool FrmNewPhn::Form_Load()
{
    Module1State& m = Module1();
    card_.reset();
    try {
        const QString group = currentGroup();
        if (group == QLatin1String(store::kWorkTable.group))
            Label4->setText(QString::fromUtf8(": מחלקה"));
        else if (group == QLatin1String(store::kPersonalTable.group))
            Label4->setText(QString::fromUtf8(": פקס"));

        if (m.blnEditMode) {
            setWindowTitle(QStringLiteral("Update Phone Number"));
            lblHeader->setText(QStringLiteral("Modify Record"));
            btnAdd->hide();
            btnClr->hide();
            // The empty row below the last card holds no card, nor does a
            // list never read: the editor then opens with empty boxes and has
            // nothing to update.
            if (ado::Recordset* rs = m.rsDirectory.get()) {
                rs->MoveFirst();
                rs->Move(m.intCurrentRow - 1);
                if (!rs->Eof())
                    card_ = rs->CopyCurrentRow();
            }
            if (!m.strCurrentName.isEmpty()) {
                if (const store::Table* table = store::tableForGroup(currentGroup())) {
                    if (!card_)
                        throw Error(ado::adErrNoCurrentRecord, "There is no record at the chosen row");
                    // A missing address or e-mail leaves its box empty; any
                    // other column must hold a value, and the user is told
                    // when one does not. Every box is filled all the same (a
                    // missing value as empty), since Update writes every box:
                    // a box left empty would erase what the card holds there.
                    bool missing = false;
                    for (int f = kName; f <= kEmail; ++f) {
                        const ado::Value value = card_->Field(table->columns[static_cast<size_t>(f)].name);
                        missing = missing || (!value && f < kAddress);
                        setBoxText(f, store::trimBlanks(store::fieldText(value)));
                    }
                    if (missing)
                        throw Error(kErrInvalidUseOfNull, "Invalid use of Null");
                }
            }
        } else {
            setWindowTitle(QStringLiteral("Add New Phone Number"));
            lblHeader->setText(QStringLiteral("Add Record"));
            btnUpdate->hide();
            btnUndo->hide();
        }
    } catch (const std::exception& e) {
        // The window still opens, in its mode, with what was filled so far.
        logSkipped(lcEditor(), std::source_location::current(), e);
        errorBox(QStringLiteral("The current record is non-valid"));
    }
    TxtName->setFocus();
    return true;
}

void FrmNewPhn::Form_Unload() { card_.reset(); }

// ---- checks -------------------------------------------------------------------------------

QString FrmNewPhn::firstFailedCheck() const
{
    // The checks the database tool's import runs too.
    std::array<std::string, store::kCardFields> texts;
    store::CardTexts card;
    for (int f = kName; f <= kEmail; ++f) {
        texts[static_cast<size_t>(f)] = store::trimBlanks(boxText(f)).toStdString();
        card[static_cast<size_t>(f)] = texts[static_cast<size_t>(f)];
    }
    const char* failed = store::firstFailedCheck(card);
    return failed ? QString::fromUtf8(failed) : QString();
}

QString FrmNewPhn::loadedName() const
{
    QString name;
    if (card_)
        resumeNext(lcEditor(), [&] { name = store::trimBlanks(store::fieldText(card_->Field("Name"))); });
    return name;
}

void FrmNewPhn::writeBoxes(ado::Recordset& rs, const store::Table& table) const
{
    // An empty box stores an empty text, never Null.
    for (int f = kName; f <= kEmail; ++f)
        rs.setField(table.columns[static_cast<size_t>(f)].name, store::trimBlanks(boxText(f)).toStdString());
}

// ---- Add and Update -------------------------------------------------------------------------

void FrmNewPhn::btnAdd_Click()
{
    if (const QString failed = firstFailedCheck(); !failed.isEmpty()) {
        errorBox(failed); // every box keeps what was typed
        return;
    }
    Module1State& m = Module1();
    ado::Recordset* rs = nullptr;
    try {
        const store::Table& table = groupTable();
        // The new card joins the main window's list; a list that could not be
        // read (the file was locked or missing at the time) takes none.
        if (!m.rsDirectory || m.rsDirectory->State() != ado::adStateOpen)
            throw Error(ado::adErrObjectClosed, kListNotRead);
        rs = m.rsDirectory.get();
        if (!writeUnlessNameUsed(*rs, store::tableSql(table), store::trimBlanks(TxtName->text()), [&] {
                rs->AddNew();
                writeBoxes(*rs, groupTable());
                rs->Update();
            })) {
            errorBox(QLatin1String(store::kNameUsed));
            return;
        }
    } catch (const std::exception& e) {
        // Nothing was stored; the editor stays open with what was typed.
        dropEdit(rs);
        errorBox(QString::fromUtf8(e.what()));
        return;
    }
    saved(*this, QStringLiteral("A new record has been added"));
}

void FrmNewPhn::btnUpdate_Click()
{
    if (const QString failed = firstFailedCheck(); !failed.isEmpty()) {
        errorBox(failed);
        TxtName->setText(loadedName());
        return;
    }
    Module1State& m = Module1();
    try {
        const store::Table& table = groupTable();
        if (!card_)
            throw Error(ado::adErrNoCurrentRecord, kNoCardToUpdate);
        const auto write = [&] {
            writeBoxes(*card_, groupTable());
            // Written only when the card is still as it was loaded.
            card_->Update();
        };
        // A card keeping its name needs no duplicate test; it would find itself.
        const QString typed = store::trimBlanks(TxtName->text());
        if (typed == loadedName()) {
            write();
        } else if (!writeUnlessNameUsed(*card_, store::listingSql(table, m.strSortOrder), typed, write)) {
            errorBox(QLatin1String(store::kNameUsed));
            TxtName->setText(loadedName());
            return;
        }
    } catch (const std::exception& e) {
        dropEdit(card_.get());
        errorBox(QString::fromUtf8(e.what()));
        return;
    }
    saved(*this, QStringLiteral("The current record has been updated"));
}

// ---- Clear, Undo, Cancel ---------------------------------------------------------------------

void FrmNewPhn::btnClr_Click()
{
    // The address and the e-mail address stay: a next card often shares them.
    for (const int f : {kName, kHome, kMobile, kFax, kWork})
        setBoxText(f, QString());
}

void FrmNewPhn::btnUndo_Click()
{
    // The values the card was loaded with, by the columns of the group now
    // chosen; a Null or a column that group's table lacks leaves its box
    // empty. With no card loaded every box empties, as it opened.
    const store::Table* table = store::tableForGroup(currentGroup());
    if (!table) {
        qCDebug(lcEditor) << "Undo: no group to read the card by; the boxes stay as they are";
        return;
    }
    for (const int f : {kName, kFax, kWork, kMobile, kHome, kAddress, kEmail}) {
        QString text;
        if (card_)
            resumeNext(lcEditor(), [&] { text = columnText(*card_, *table, f); });
        setBoxText(f, text);
    }
}

void FrmNewPhn::btnRtn_Click() { close(); }

} // namespace numora
