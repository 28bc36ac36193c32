// The life every program-wide window shares: created on first use, loaded by
// its first showing, one instance, unloaded by closing and then created afresh.
#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "platform/core/Error.h"
#include "tests/support/FakeMessageBoxes.h"

namespace numora {
namespace {

std::vector<std::string> g_steps;
bool g_refuse = false;

class Window : public forms::Form<Window, QWidget> {
public:
    Window() : text(new QLineEdit(this)) {}
    QLineEdit* text;

protected:
    bool Form_Load() override
    {
        g_steps.push_back(isVisible() ? "load while visible" : "load");
        return !g_refuse;
    }
    void Form_Unload() override { g_steps.push_back("unload"); }
};

TEST(Form, LoadedByItsFirstShowingUnloadedByClosingAndThenCreatedAfresh)
{
    g_steps.clear();
    const int before = forms::loadedCount();

    // Created on first use, not loaded until shown.
    Window* first = &Window::instance();
    EXPECT_EQ(&Window::instance(), first);
    EXPECT_FALSE(first->isLoaded());
    EXPECT_TRUE(g_steps.empty());

    // A load step that refuses leaves the window unloaded and unseen.
    g_refuse = true;
    first->show();
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(first->isLoaded());
    EXPECT_EQ(forms::loadedCount(), before);
    g_refuse = false;

    // The load step runs once, before the window appears.
    EXPECT_TRUE(first->Load());
    EXPECT_FALSE(first->isVisible());
    first->show();
    first->text->setText(QStringLiteral("typed"));
    first->hide();
    first->show(); // a loaded window only comes to the front
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(forms::loadedCount(), before + 1);
    EXPECT_EQ(g_steps, (std::vector<std::string>{"load", "unload", "load"}));

    // Hidden is still loaded; closed is unloaded, even when hidden first.
    first->hide();
    EXPECT_TRUE(first->isLoaded());
    first->close();
    EXPECT_FALSE(first->isLoaded());
    EXPECT_EQ(forms::loadedCount(), before);
    EXPECT_EQ(g_steps.back(), "unload");

    // The next use creates it afresh, with its controls as designed.
    Window& second = Window::instance();
    second.show();
    EXPECT_TRUE(second.text->text().isEmpty());
    EXPECT_EQ(forms::loadedCount(), before + 1);
    second.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList g_logged;
void record(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (QLatin1String(context.category) == QLatin1String("numora.app"))
        g_logged << text;
}

// A failure no handler dealt with ends the event it escaped from, not the
// program: it is logged and told, and the next event is handled as usual.
TEST(Application, AFailureEscapingAHandlerIsLoggedAndToldAndTheProgramGoesOn)
{
    struct Handler : QObject {
        std::vector<std::function<void()>> steps{[] { throw Error(58, "File already exists"); },
                                                 [] { throw std::bad_alloc(); }, [] {}};
        std::size_t handled = 0;
        bool event(QEvent* e) override
        {
            if (e->type() != QEvent::User)
                return QObject::event(e);
            steps.at(handled++)();
            return true;
        }
    } handler;
    test::FakeMessageBoxes boxes;
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(record);
    for (std::size_t i = 0; i < handler.steps.size(); ++i)
        QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&handler, QEvent::User);
    qInstallMessageHandler(previous);

    EXPECT_EQ(handler.handled, handler.steps.size());
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("The last command could not be finished:\rFile already exists"));
    EXPECT_EQ(boxes.asked[0].style, ui::vbOKOnly | ui::vbCritical);
    EXPECT_EQ(boxes.asked[1].text,
              QStringLiteral("The last command could not be finished:\rThere is not enough memory."));
    ASSERT_EQ(g_logged.size(), 2);
    EXPECT_EQ(g_logged[0], QStringLiteral("a failure escaped its handler: error 58 File already exists"));
}

} // namespace
} // namespace numora
