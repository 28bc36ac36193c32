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

// libxdo brings Xlib, whose macros (None, Bool, KeyPress, ...) clash with Qt's
// names: it comes after every Qt header.
extern "C" {
#include <xdo.h>
}

Q_LOGGING_CATEGORY(lcTasks, "numora.process", QtWarningMsg)

namespace numora::process {
namespace {

using Clock = std::chrono::steady_clock;

// How long a task that has just started gets to show and focus its window.
constexpr auto kWindowWait = std::chrono::seconds(5);
// Between two typed characters, as libxdo's own tool types.
constexpr useconds_t kTypingDelayMicros = 12000;

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
void pause()
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

Window findTaskWindow(const xdo_t* xdo, long long taskId)
{
    xdo_search_t search{};
    search.pid = static_cast<int>(taskId);
    search.max_depth = -1;
    search.only_visible = 1;
    search.require = xdo_search_t::SEARCH_ALL;
    search.searchmask = SEARCH_PID | SEARCH_ONLYVISIBLE;
    Window* windows = nullptr;
    unsigned count = 0;
    xdo_search_windows(xdo, &search, &windows, &count);
    const Window found = count > 0 ? windows[0] : 0;
    std::free(windows);
    return found;
}

bool hasFocus(const xdo_t* xdo, Window window)
{
    Window focused = 0;
    if (xdo_get_focused_window(xdo, &focused) == XDO_SUCCESS && focused == window)
        return true;
    return xdo_get_focused_window_sane(xdo, &focused) == XDO_SUCCESS && focused == window;
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
            throw Error(53, QStringLiteral("Cannot start %1: %2").arg(command.program, process.errorString())
                                .toStdString());
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
            pause();
        }
        // Without a window manager to ask, the window is raised and given the
        // focus directly.
        if (xdo_activate_window(xdo, window) != XDO_SUCCESS) {
            qCDebug(lcTasks) << "no window manager activates windows; focusing task" << taskId << "directly";
            xdo_raise_window(xdo, window);
            xdo_focus_window(xdo, window);
        }
        while (!hasFocus(xdo, window)) {
            if (!taskAlive(taskId) || Clock::now() >= deadline)
                throw failed();
            pause();
        }
    }

    void typeText(const QString& text) override
    {
        const XdoSession session;
        xdo_t* xdo = session.get();
        Window focused = 0;
        if (xdo_get_focused_window(xdo, &focused) != XDO_SUCCESS || focused == None || focused == PointerRoot)
            throw Error(5, "No window has the focus to type into");
        if (xdo_enter_text_window(xdo, CURRENTWINDOW, text.toUtf8().constData(), kTypingDelayMicros) != XDO_SUCCESS)
            throw Error(5, "The keystrokes could not be sent");
        // Once the server has answered, it has handed every keystroke on.
        XSync(xdo->xdpy, False);
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
