#pragma once
// Modal message boxes, behind a seam: the real backing is QMessageBox, tests
// install a scripted fake that records every request and answers it.
//
// Styles and results carry the classic message-box numbers, so a call reads as
// the handler means it: MsgBox(text, vbOKCancel | vbQuestion, "System Message").

#include <QString>

#include "platform/core/Seam.h"

namespace numora::ui {

enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

inline int buttonsOf(int style) { return style & 0x0F; }
inline int iconOf(int style) { return style & 0xF0; }

struct MessageRequest {
    QString text; // as the program built it (line breaks may be "\r" or "\r\n")
    int style = vbOKOnly;
    QString title; // already resolved: the application title when none was given
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int show(const MessageRequest& request) = 0;
};

// Shows a modal box. An empty title means the application title.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString());

// The backing MsgBox shows its boxes through: QMessageBox unless a test installed another.
Seam<MessageBoxes>& messageBoxes();

// The application title: "vemo1" until the main window's load step names the program.
QString appTitle();
void setAppTitle(const QString& title);

} // namespace numora::ui
