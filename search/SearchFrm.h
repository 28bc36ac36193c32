#pragma once
// The search window: names of the group the main window shows that begin
// with the typed text, listed again at every change of the text; a click on
// a name shows that card's numbers in one fixed-width line under a Hebrew
// header. It only reads the directory.
//
// One program-wide window (forms::Form) beside the main window, not blocking
// it. Minimising hides it; opened again it comes back with its text and list
// as they were. Cancel (or closing it) unloads it, and the next opening
// starts empty.

#include <QString>
#include <QWidget>

#include "forms/Form.h"
#include "store/Card.h"
#include "store/Tables.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace numora::controls {
class ListBox;
}

namespace numora {

class SearchFrm : public forms::Form<SearchFrm, QWidget> {
    Q_OBJECT
public:
    SearchFrm();
    ~SearchFrm() override;

    // ---- controls (object names as the members) --------------------------
    QLabel* LblHdr = nullptr; // the column header line
    QLabel* LblSel = nullptr; // the chosen card's line
    QLineEdit* TxtStr = nullptr;
    controls::ListBox* LstSearch = nullptr;
    QWidget* Shape1[2] = {nullptr, nullptr}; // shadows of the text box and the list
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QToolButton* btnCancel = nullptr;

    // A list entry: the name right-aligned in 22 characters; empty for a
    // name longer than that, which is not listed.
    static QString listEntry(const QString& name);
    // The header line over a group's cards: the headings of the card's line,
    // each where its column starts (the name's right-aligned like the names).
    static QString headerLine(const store::Table& table);
    // The line of a card of that table: the
    // fifth, fourth, third and second fields left-aligned in 11, 12, 12 and
    // 11 characters after one space, then the name right-aligned in 17, 64
    // characters in all. A value too long for its column is cut, ending in
    // an ellipsis and a space, so the columns stay under their headings; a
    // long name, the last column, is shown whole. Both lines read left to
    // right, column by column, whatever letters their values hold.
    static QString detailLine(const store::Card& card, const store::Table& table);

    // ---- events --------------------------------------------------------------
    void TxtStr_Change();
    // Only "2" (code 50) does anything: it selects the first entry when none
    // is selected, else the next one. The key still reaches the text box.
    void TxtStr_KeyPress(int ch);
    void LstSearch_Click();
    void btnCancel_Click();

protected:
    bool Form_Load() override { return true; }
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();

    // A server that cannot be reached is told at the first keystroke that
    // meets it, not at every one after it, until a listing is read again.
    bool serverGoneTold_ = false;
};

} // namespace numora
