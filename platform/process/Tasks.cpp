#include "platform/process/Tasks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <chrono>
#include <cstdlib>

#include "platform/core/Error.h"
#include "platform/process/Keystrokes.h"

// libxdo brings Xlib, whose macros (None, Bool, KeyPress, ...) clash with Qt's
// names: it comes after every Qt header.
extern "C" {
#include <X11/Xatom.h>
#include <xdo.h>
}

Q_LOGGING_CATEGORY(lcTasks, "numora.process", QtWarningMsg)

namespace numora::process {
namespace {

using Clock = std::chrono::steady_clock;

// How long a task that has just started gets to show and focus its window.
constexpr auto kWindowWait = std::chrono::seconds(5);

bool taskAlive(long long taskId)
{
    // A task that ended may linger as a zombie until it is reaped: that is an
    // ended task too.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(taskId));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && line.at(close + 2) != 'Z';
}

// Keeps the program's own windows painted while it waits, without taking
// the user's input (which could start another command meanwhile).
void waitAMoment()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    QThread::msleep(25);
}

// One connection to the X display for one call. Errors the X server reports
// while it is open are noted, never fatal (Xlib's own handler would end the
// program).
class XdoSession {
public:
    XdoSession() : previous_(XSetErrorHandler(&XdoSession::onError))
    {
        xdo_ = xdo_new(nullptr);
        if (xdo_)
            xdo_->quiet = 1;
    }
    ~XdoSession()
    {
        if (xdo_)
            xdo_free(xdo_);
        XSetErrorHandler(previous_);
    }
    XdoSession(const XdoSession&) = delete;
    XdoSession& operator=(const XdoSession&) = delete;

    xdo_t* get() const
    {
        if (!xdo_)
            throw Error(5, "There is no X display to reach other programs' windows on");
        return xdo_;
    }

private:
    static int onError(Display*, XErrorEvent* event)
    {
        qCDebug(lcTasks) << "X error" << event->error_code << "on request" << event->request_code;
        return 0;
    }

    XErrorHandler previous_;
    xdo_t* xdo_ = nullptr;
};

// The process id a window carries, or 0. A window that goes while it is
// asked carries none.
long long windowTask(Display* display, Window window, Atom pidAtom)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    long long pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &remaining,
                           &data) == Success &&
        data && type == XA_CARDINAL && format == 32 && items == 1)
        pid = static_cast<long long>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The first viewable window under top (top included) that carries the task's
// process id; 0 when there is none. libxdo's own search by process id is not
// used: it reads past a failed property request when a window goes away
// while it looks.
Window findWindowOf(Display* display, Window top, long long taskId, Atom pidAtom)
{
    if (windowTask(display, top, pidAtom) == taskId && viewable(display, top))
        return top;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, top, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = findWindowOf(display, children[i], taskId, pidAtom);
    if (children)
        XFree(children);
    return found;
}

Window findTaskWindow(const xdo_t* xdo, long long taskId)
{
    Display* display = xdo->xdpy;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window found = 0;
    for (int screen = 0; screen < ScreenCount(display) && !found; ++screen)
        found = findWindowOf(display, RootWindow(display, screen), taskId, pidAtom);
    return found;
}

// Whether a window manager runs that activates windows on request.
bool windowManagerActivates(Display* display)
{
    const Atom supportedAtom = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    bool supported = false;
    if (XGetWindowProperty(display, DefaultRootWindow(display), supportedAtom, 0, 1024, False, XA_ATOM, &type, &format,
                           &items, &remaining, &data) == Success &&
        data && type == XA_ATOM && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < items && !supported; ++i)
            supported = atoms[i] == activeAtom;
    }
    if (data)
        XFree(data);
    return supported;
}

bool within(Display* display, Window window, Window ancestor)
{
    while (window && window != ancestor) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        window = parent == root ? 0 : parent;
    }
    return window && window == ancestor;
}

// The window that has the keyboard focus, or 0 when none has.
Window focusedWindow(Display* display)
{
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(display, &focused, &revert);
    return focused == PointerRoot ? 0 : focused;
}

// Whether the focus is on the window, inside it, or on the frame a window
// manager put around it.
bool hasFocus(Display* display, Window window)
{
    const Window focused = focusedWindow(display);
    return focused && (within(display, focused, window) || within(display, window, focused));
}

class RealTasks final : public Tasks {
public:
    long long start(const QString& commandLine) override
    {
        const ResolvedCommand command = resolveCommand(commandLine);
        if (command.program.isEmpty())
            throw Error(53, QStringLiteral("File not found: %1").arg(commandLine.trimmed()).toStdString());
        QProcess process;
        process.setProgram(command.program);
        process.setArguments(command.arguments);
        qint64 pid = 0;
        if (!process.startDetached(&pid))
            throw Error(
                53, QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString()).toStdString());
        return pid;
    }

    void activate(long long taskId) override
    {
        const XdoSession session;
        xdo_t* xdo = session.get();
        const auto deadline = Clock::now() + kWindowWait;
        const auto failed = [taskId] {
            return Error(5, QStringLiteral("The window of the started program (task %1) could not be activated")
                                .arg(taskId)
                                .toStdString());
        };

        Window window = 0;
        while (!(window = findTaskWindow(xdo, taskId))) {
            if (!taskAlive(taskId) || Clock::now() >= deadline)
                throw failed();
            waitAMoment();
        }
        // Without a window manager to ask, the window is raised and given the
        // focus directly.
        if (!windowManagerActivates(xdo->xdpy) || xdo_activate_window(xdo, window) != XDO_SUCCESS) {
            qCDebug(lcTasks) << "no window manager activates windows; focusing task" << taskId << "directly";
            xdo_raise_window(xdo, window);
            xdo_focus_window(xdo, window);
        }
        while (!hasFocus(xdo->xdpy, window)) {
            if (!taskAlive(taskId) || Clock::now() >= deadline)
                throw failed();
            waitAMoment();
        }
    }

    void typeText(const QString& text) override
    {
        const XdoSession session;
        xdo_t* xdo = session.get();
        if (!focusedWindow(xdo->xdpy))
            throw Error(5, "No window has the focus to type into");
        detail::typeKeystrokes(xdo->xdpy, text);
    }
};

RealTasks g_real;

} // namespace

Seam<Tasks>& seam()
{
    static Seam<Tasks> s(g_real);
    return s;
}

long long Shell(const QString& commandLine) { return seam()->start(commandLine); }
void AppActivate(long long taskId) { seam()->activate(taskId); }
void SendKeys(const QString& text) { seam()->typeText(text); }

QString helperFolder()
{
    const QFileInfo self(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    return QDir::cleanPath(self.absolutePath() + QStringLiteral("/../libexec/numora"));
}

ResolvedCommand resolveCommand(const QString& commandLine)
{
    const QString line = commandLine.trimmed();
    if (line.contains(QLatin1Char('/'))) {
        const QFileInfo whole(line);
        if (whole.isFile() && whole.isExecutable())
            return {whole.absoluteFilePath(), {}};
    }
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty())
        return {};
    const QString name = words.takeFirst();
    QString program;
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo file(name);
        if (file.isFile() && file.isExecutable())
            program = file.absoluteFilePath();
    } else {
        program = QStandardPaths::findExecutable(name);
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(name, {helperFolder()});
    }
    return {program, words};
}

} // namespace numora::process
