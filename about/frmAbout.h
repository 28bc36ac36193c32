#pragma once
// The about box: the program's title and version, what it is for, a usage
// notice, and a way to start the system's information tool. It is one
// program-wide window (forms::Form), shown beside the main window without
// blocking it; OK (Enter) and Esc unload it, and the next opening fills it
// afresh.

#include <QDialog>
#include <QString>

#include "forms/Form.h"
#include "platform/registry/Registry.h"

class QLabel;
class QPushButton;

namespace numora {

class frmAbout : public forms::Form<frmAbout, QDialog> {
    Q_OBJECT
public:
    frmAbout();
    ~frmAbout() override;

    // ---- controls (object names as the members) --------------------------
    QLabel* Image2 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Line1[2] = {nullptr, nullptr};
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Starts the system information tool that the installation recorded in
    // the machine's registry, or says that there is none.
    void StartSysInfo();

    // Reads one value of a registry key as text into KeyVal: a text value as
    // it is, a 32-bit number value as its decimal; a value of another kind
    // leaves KeyVal as it was. False, with KeyVal emptied, when the key or
    // value cannot be read.
    static bool GetKeyValue(registry::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

protected:
    // Fills the caption and the labels.
    bool Form_Load() override;
    // Esc: as OK.
    void reject() override;
};

} // namespace numora
