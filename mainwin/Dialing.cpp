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
    // A failing step does not stop the command; the last failure is what the
    // user is told about at the end.
    std::optional<Error> failure;
    QString number;
    if (col >= kFirstNumberColumn && col <= kLastNumberColumn && grid.Row() >= grid.FixedRows()) {
        resumeNext(lcDialing(), failure, [&] { grid.setCol(col); });
        resumeNext(lcDialing(), failure, [&] { number = grid.Text().trimmed(); });
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
    if (resumeNext(lcDialing(), failure, [&] { task = process::Shell(dialerCommandLine(windowsFolder)); }) &&
        resumeNext(lcDialing(), failure, [&] { process::AppActivate(task); }))
        if (resumeNext(lcDialing(), failure, [&] { process::SendKeys(number); }))
            qCDebug(lcDialing) << "typed" << number.size() << "characters into the dialer";

    if (failure)
        ui::MsgBox(QString::fromStdString(failure->description()), ui::vbOKOnly | ui::vbExclamation);
}

} // namespace numora::dialing
