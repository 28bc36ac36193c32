#include "mainwin/Dialing.h"

#include <QLoggingCategory>

#include <optional>

#include "platform/controls/FlexGrid.h"
#include "platform/core/Error.h"
#include "platform/process/Tasks.h"
#include "platform/ui/MsgBox.h"
#include "tools/dialer/NumberBox.h"

namespace numora::dialing {
namespace {

Q_LOGGING_CATEGORY(lcDialing, "numora.dialing", QtInfoMsg)

constexpr int kFirstNumberColumn = 1;
constexpr int kLastNumberColumn = 4;

// Steps whose failures do not stop the command: each failure is logged and
// kept, and the last one is what the user is told about at the end.
class Steps {
public:
    template <class F>
    bool run(F&& step, const std::source_location& where = std::source_location::current())
    {
        try {
            step();
            return true;
        } catch (const Error& e) {
            logSkipped(lcDialing(), where, e);
            last_ = e;
        } catch (const std::exception& e) {
            logSkipped(lcDialing(), where, e);
            last_ = Error(0, e.what());
        }
        return false;
    }
    const std::optional<Error>& lastError() const { return last_; }

private:
    std::optional<Error> last_;
};

} // namespace

QString dialerCommandLine(const QString& windowsFolder)
{
    const QString upper = windowsFolder.toUpper();
    if (upper == QLatin1String("C:\\WINDOWS") || upper == QLatin1String("C:\\WIN95"))
        return windowsFolder + QLatin1String("\\dialer.exe");
    if (upper == QLatin1String("C:\\WINNT"))
        return QStringLiteral("C:\\Program Files\\Windows NT\\dialer.exe");
    return QStringLiteral("dialer.exe");
}

void Dial(controls::FlexGrid& grid, int col, const QString& windowsFolder)
{
    Steps steps;
    QString number;
    if (col >= kFirstNumberColumn && col <= kLastNumberColumn && grid.Row() >= grid.FixedRows()) {
        steps.run([&] { grid.setCol(col); });
        steps.run([&] { number = grid.Text().trimmed(); });
    }
    if (number.isEmpty())
        return;
    // Typing is slow, and the window waits for it: only what the dialer's box
    // takes is typed (a cell read from an imported file can be any length).
    if (number.size() > dialer::kNumberLength) {
        qCDebug(lcDialing) << "typing the first" << dialer::kNumberLength << "of" << number.size()
                           << "characters: the dialer takes no more";
        number.truncate(number.at(dialer::kNumberLength - 1).isHighSurrogate() ? dialer::kNumberLength - 1
                                                                               : dialer::kNumberLength);
    }

    long long task = 0;
    if (steps.run([&] { task = process::Shell(dialerCommandLine(windowsFolder)); }) &&
        steps.run([&] { process::AppActivate(task); }))
        steps.run([&] { process::SendKeys(number); });

    if (const std::optional<Error>& error = steps.lastError())
        ui::MsgBox(QString::fromStdString(error->description()), ui::vbOKOnly | ui::vbExclamation);
}

} // namespace numora::dialing
