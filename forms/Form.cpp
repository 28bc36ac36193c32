#include "forms/Form.h"

#include <QApplication>

#include <vector>

namespace numora::forms {
namespace {

int g_loaded = 0;
bool g_running = false;
std::vector<QPointer<QWidget>> g_owned;

} // namespace

namespace detail {

void formLoaded() { ++g_loaded; }

void formUnloaded()
{
    if (g_loaded > 0)
        --g_loaded;
    if (g_loaded == 0 && g_running)
        QCoreApplication::exit(0);
}

void takeOverProgramEnd() { QGuiApplication::setQuitOnLastWindowClosed(false); }

void own(QWidget* form) { g_owned.emplace_back(form); }

} // namespace detail

int loadedCount() { return g_loaded; }

int run(const std::function<void()>& endStep)
{
    int result = 0;
    if (g_loaded > 0) {
        g_running = true;
        result = QApplication::exec();
        g_running = false;
    }
    if (endStep)
        endStep();
    // Windows unloaded on the way out are released with those never shown.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QPointer<QWidget>& form : g_owned)
        delete form.data();
    g_owned.clear();
    return result;
}

} // namespace numora::forms
