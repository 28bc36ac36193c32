#include "forms/Application.h"

#include <QAbstractItemView>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <new>

#include "platform/core/Error.h"
#include "platform/ui/MsgBox.h"

namespace numora::forms {
namespace {

Q_LOGGING_CATEGORY(lcApp, "numora.app", QtInfoMsg)
// Where each named control of a window is, in pixels within the window, for
// whoever drives the program from outside it (the end-to-end runs): logged
// when the window is shown or resized and when a list of it changes rows.
Q_LOGGING_CATEGORY(lcLayout, "numora.layout", QtInfoMsg)

constexpr char kLayoutPending[] = "numoraLayoutPending";
constexpr char kLayoutWatched[] = "numoraLayoutWatched";
constexpr int kLoggedRows = 4; // a list's first rows, its first columns
constexpr int kLoggedColumns = 12;

void logLayoutSoon(QWidget* window);

void logPlace(const QString& title, const QString& name, const QRect& r)
{
    qCDebug(lcLayout).noquote() << QStringLiteral("layout \"%1\" %2 %3 %4 %5 %6")
                                       .arg(title, name)
                                       .arg(r.x())
                                       .arg(r.y())
                                       .arg(r.width())
                                       .arg(r.height());
}

// A list's cells, as name[row,column]; a list of no rows yet tells its
// rows when they come.
void logCells(QWidget* window, QAbstractItemView* view)
{
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    if (!model->property(kLayoutWatched).toBool()) {
        model->setProperty(kLayoutWatched, true);
        const QPointer<QWidget> watched(window);
        const auto again = [watched] {
            if (watched)
                logLayoutSoon(watched);
        };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, view, again);
        QObject::connect(model, &QAbstractItemModel::modelReset, view, again);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, view, again);
    }
    const QRect shown = view->viewport()->rect();
    for (int row = 0; row < std::min(model->rowCount(view->rootIndex()), kLoggedRows); ++row) {
        for (int column = 0; column < std::min(model->columnCount(view->rootIndex()), kLoggedColumns); ++column) {
            const QRect cell = view->visualRect(model->index(row, column, view->rootIndex())).intersected(shown);
            if (cell.isEmpty())
                continue;
            logPlace(window->windowTitle(), QStringLiteral("%1[%2,%3]").arg(view->objectName()).arg(row).arg(column),
                     QRect(view->viewport()->mapTo(window, cell.topLeft()), cell.size()));
        }
    }
}

void logLayout(QWidget* window)
{
    window->setProperty(kLayoutPending, false);
    if (!window->isVisible())
        return;
    if (!window->objectName().isEmpty())
        logPlace(window->windowTitle(), window->objectName(), QRect(QPoint(0, 0), window->size()));
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_")) ||
            control->window() != window || !control->isVisibleTo(window))
            continue;
        logPlace(window->windowTitle(), control->objectName(),
                 QRect(control->mapTo(window, QPoint(0, 0)), control->size()));
        if (auto* view = qobject_cast<QAbstractItemView*>(control))
            logCells(window, view);
    }
}

// Once the events queued now (the layout's own among them) have run.
void logLayoutSoon(QWidget* window)
{
    if (window->property(kLayoutPending).toBool())
        return;
    window->setProperty(kLayoutPending, true);
    QTimer::singleShot(0, window, [window] { logLayout(window); });
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    if ((event->type() == QEvent::Show || event->type() == QEvent::Resize) && lcLayout().isDebugEnabled() &&
        receiver->isWidgetType() && static_cast<QWidget*>(receiver)->isWindow())
        logLayoutSoon(static_cast<QWidget*>(receiver));
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportEscaped(e);
        return false;
    }
}

void reportEscaped(const std::exception& failure)
{
    const bool noMemory = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr;
    const Error error = asError(failure);
    const QString description =
        noMemory ? QStringLiteral("There is not enough memory.") : QString::fromStdString(error.description());
    qCCritical(lcApp).noquote() << "a failure escaped its handler: error" << error.number() << description;
    ui::MsgBox(QStringLiteral("The last command could not be finished:") + QLatin1Char('\r') + description,
               ui::vbOKOnly | ui::vbCritical);
}

} // namespace numora::forms
