// The record editor's loading, its checks and its buttons.
#include "editor/FrmNewPhn.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QToolButton>

#include <array>
#include <string>

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "platform/ui/MsgBox.h"
#include "state/DirectoryState.h"
#include "store/CardChecks.h"
#include "store/Server.h"
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

// What a failed write says; a group's server that went away is told as
// such, and the next Add or Update connects again.
QString failureText(const std::exception& e)
{
    const store::Table* table = store::tableForGroup(directoryState().groupLastShown());
    if (const std::optional<QString> gone = table ? directoryState().serverGoneText(*table, e) : std::nullopt)
        return *gone + QStringLiteral("\r\nWhat you typed is still here; try again when the server is back.");
    return QString::fromUtf8(e.what());
}

void errorBox(const QString& text) { ui::MsgBox(text, ui::vbOKOnly | ui::vbCritical, QStringLiteral("Error Message")); }

QString currentGroup() { return directoryState().groupShown(); }

const store::Table& groupTable()
{
    const store::Table* table = store::tableForGroup(currentGroup());
    if (!table)
        throw Error(kErrNoGroup, kNoGroup);
    return *table;
}

// A card saved: the confirmation, the windows' lists read again for their
// group and letter, and the editor closes.
void saved(QWidget& editor, const QString& confirmation)
{
    ui::MsgBox(confirmation, ui::vbOKOnly, ui::appTitle());
    directoryState().announceCardsChanged();
    editor.close();
}

} // namespace

// ---- loading ------------------------------------------------------------------------

bool FrmNewPhn::Form_Load()
{
    DirectoryState& m = directoryState();
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
            if (const store::Listing* listed = m.rsDirectory.get())
                card_ = listed->cardAt(m.intCurrentRow);
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
                        const store::Text value = card_->field(table->columns[static_cast<size_t>(f)].name);
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
    const store::Fields fields = typedFields();
    store::CardTexts card;
    for (std::size_t f = 0; f < fields.size(); ++f)
        card[f] = fields[f];
    const char* failed = store::firstFailedCheck(card);
    return failed ? QString::fromUtf8(failed) : QString();
}

QString FrmNewPhn::loadedName() const
{
    QString name;
    if (card_)
        resumeNext(lcEditor(), [&] { name = store::trimBlanks(store::fieldText(card_->field("Name"))); });
    return name;
}

store::Fields FrmNewPhn::typedFields() const
{
    // An empty box stores an empty text, never Null.
    store::Fields fields;
    for (int f = kName; f <= kEmail; ++f)
        fields[static_cast<size_t>(f)] = store::trimBlanks(boxText(f)).toStdString();
    return fields;
}

// ---- Add and Update -------------------------------------------------------------------------

void FrmNewPhn::btnAdd_Click()
{
    if (const QString failed = firstFailedCheck(); !failed.isEmpty()) {
        errorBox(failed); // every box keeps what was typed
        return;
    }
    DirectoryState& m = directoryState();
    try {
        const store::Table& table = groupTable();
        // The new card goes to the file the main window lists; a list that
        // could not be read (the file was locked or missing at the time)
        // takes none.
        if (!m.cardsListed())
            throw Error(ado::adErrObjectClosed, kListNotRead);
        if (m.addCard(table, typedFields()) == store::Written::NameUsed) {
            errorBox(QLatin1String(store::kNameUsed));
            return;
        }
    } catch (const std::exception& e) {
        // Nothing was stored; the editor stays open with what was typed.
        errorBox(failureText(e));
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
    try {
        const store::Table& table = groupTable();
        if (!card_)
            throw Error(ado::adErrNoCurrentRecord, kNoCardToUpdate);
        // Written only when the card is still as it was loaded. A card
        // keeping its name needs no duplicate test; it would find itself.
        const bool renamed = store::trimBlanks(TxtName->text()) != loadedName();
        if (directoryState().updateCard(*card_, table, typedFields(), renamed) == store::Written::NameUsed) {
            errorBox(QLatin1String(store::kNameUsed));
            TxtName->setText(loadedName());
            return;
        }
    } catch (const std::exception& e) {
        errorBox(failureText(e));
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
            resumeNext(lcEditor(), [&] { text = card_->text(*table, f); });
        setBoxText(f, text);
    }
}

void FrmNewPhn::btnRtn_Click() { close(); }

} // namespace numora
