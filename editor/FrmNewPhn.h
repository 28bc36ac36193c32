#pragma once
// The record editor: the one window in which a card is typed in or changed.
// The main window chooses its mode before opening it (blnEditMode of the
// shared state, state/DirectoryState.h): in add mode it starts empty and
// offers Add, Clear and Cancel; in update mode it starts with the chosen card
// (the grid row intCurrentRow of rsDirectory) and offers Update, Undo and
// Cancel. Its seven boxes stand for the columns of the group the main window
// shows, in the order of the table description (store/Tables.h).
//
// It is one program-wide window (forms::Form) beside the main window, not
// blocking it. Its mode is fixed when it loads: opening it again while it is
// loaded only brings it to the front. Add and Update check every box first,
// then save, confirm, have the windows list their cards again and close.
//
// In update mode the editor takes its own copy of the card it loaded, with
// the card's row identity and the values it was read with, because the main
// window replaces rsDirectory at every fill. Update writes to that card and
// to no other: when it was changed or deleted meanwhile (here or by another
// program), Update fails, writes nothing, and the editor stays open with
// what was typed.
//
// Built in FrmNewPhnLayout.cpp; loading and the buttons in FrmNewPhn.cpp.

#include <QString>
#include <QWidget>

#include <array>
#include <optional>

#include "forms/Form.h"
#include "store/Card.h"
#include "store/Tables.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace numora {

class FrmNewPhn : public forms::Form<FrmNewPhn, QWidget> {
    Q_OBJECT
public:
    FrmNewPhn();
    ~FrmNewPhn() override;

    // ---- controls (object names as the members) --------------------------
    // Frame2[1] holds the boxes and their labels, Frame2[0] the header and
    // the buttons.
    QFrame* Frame2[2] = {nullptr, nullptr};
    QLineEdit* TxtName = nullptr;
    QLineEdit* TxtHome = nullptr;
    QLineEdit* TxtPlp = nullptr; // mobile
    QLineEdit* TxtWork = nullptr;
    QLineEdit* TxtFax = nullptr; // fax (Personal) or department (Work)
    QPlainTextEdit* txtAddr = nullptr;
    QLineEdit* txtEmail = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label7 = nullptr, *Label8 = nullptr;
    // The boxes' shadows, in the boxes' order: Shape1 to Shape5, Shape7, Shape8.
    QWidget *Shape1 = nullptr, *Shape2 = nullptr, *Shape3 = nullptr, *Shape4 = nullptr, *Shape5 = nullptr,
            *Shape7 = nullptr, *Shape8 = nullptr;
    QWidget* Shape6 = nullptr; // the band behind the title
    QLabel* Image1 = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* lblHeader = nullptr;
    QToolButton* btnAdd = nullptr;
    QToolButton* btnUpdate = nullptr;
    QToolButton* btnClr = nullptr;
    QToolButton* btnUndo = nullptr;
    QToolButton* btnRtn = nullptr;

    // ---- buttons ---------------------------------------------------------------
    void btnAdd_Click();
    void btnUpdate_Click();
    void btnClr_Click();  // empties the name and the four numbers
    void btnUndo_Click(); // puts the loaded card's values back in every box
    void btnRtn_Click();  // Cancel: closes without saving

    // Whether the editor holds a card it loaded for updating (and with it a
    // connection to the data file) until it closes.
    bool holdsCard() const { return card_.has_value(); }

    // A box's text by the index of its column in the table description.
    QString boxText(int field) const;
    void setBoxText(int field, const QString& text);

protected:
    bool Form_Load() override;
    void Form_Unload() override;

private:
    void buildControls();

    // The first check the boxes fail, as its message; empty when all pass.
    QString firstFailedCheck() const;
    // The loaded card's stored name, trimmed; empty when no card was loaded.
    QString loadedName() const;
    // Every box, trimmed, as the fields of a card.
    store::Fields typedFields() const;

    std::array<QWidget*, store::kCardFields> boxes_{};
    // The card update mode loaded, apart from rsDirectory; none in add mode,
    // and none when the chosen row held no card.
    std::optional<store::Card> card_;
};

} // namespace numora
