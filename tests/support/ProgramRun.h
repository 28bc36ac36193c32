#pragma once
// Runs the program as its entry does: the event loop until no window of it
// remains loaded, then the main window's end step. A run that does not end
// within the time given is stopped; returns whether it ended by itself.
// `ended` turns true as the end step runs, for steps that check it meanwhile.

#include <QApplication>
#include <QTimer>

#include "forms/Form.h"
#include "mainwin/frmVemo.h"

namespace numora::test {

inline bool runProgram(bool& ended, int timeoutMs = 10000)
{
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    guard.start(timeoutMs);
    forms::run([&] {
        ended = true;
        frmVemo::Form_Terminate();
    });
    return !timedOut;
}

} // namespace numora::test
