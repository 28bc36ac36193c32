// The life every program-wide window shares: created on first use, loaded by
// its first showing, one instance, unloaded by closing and then created afresh.
#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Form.h"

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

} // namespace
} // namespace numora
