#pragma once
// Other programs as tasks: starting one by its command line, bringing its
// window to the front, and typing text into the active window, behind a seam.
//
// The real backing starts the program detached (its process id is the task
// identifier), finds the task's window on the X display by the process id the
// window carries (_NET_WM_PID), activates it (through the window manager when
// there is one, else by raising it and giving it the input focus), and types
// through the XTEST extension, binding spare keys for characters the keyboard
// map lacks (platform/process/Keystrokes.h).
//
// A command line names a program and, after blanks, its arguments (quotes
// group words). A line that names an existing executable file as a whole is
// that program, blanks and all. A program name without a '/' is looked for
// in PATH, then in the folder of the program's own helper programs; never in
// the current folder, which is the user's data folder.

#include "platform/core/Seam.h"

#include <QString>
#include <QStringList>

namespace numora::process {

class Tasks {
public:
    virtual ~Tasks() = default;
    // Starts the program in a normal window that takes the focus and returns
    // its task identifier. Throws numora::Error (53 when there is no such
    // program).
    virtual long long start(const QString& commandLine) = 0;
    // Brings the task's main window to the front and gives it the focus,
    // waiting a little for a task that has only just started to show it.
    // Throws numora::Error (5) when the task shows no window.
    virtual void activate(long long taskId) = 0;
    // Types the text into the active window, every character as itself (no
    // character has a meaning of its own), and returns once the keystrokes
    // have been delivered. Throws numora::Error (5) when there is nothing to
    // type into.
    virtual void typeText(const QString& text) = 0;
};

Seam<Tasks>& seam();

// The classic calls, through the seam.
long long Shell(const QString& commandLine);
void AppActivate(long long taskId);
void SendKeys(const QString& text);

// The folder of the program's own helper programs: libexec/numora beside the
// program's bin folder (in the build tree, build/libexec/numora).
QString helperFolder();

// The program a command line starts and its arguments, found as described
// above; the program is empty when there is none.
struct ResolvedCommand {
    QString program;
    QStringList arguments;
};
ResolvedCommand resolveCommand(const QString& commandLine);

} // namespace numora::process
