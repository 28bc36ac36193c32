// The platform layers the main window starts with: the Windows folder, the
// tray record and its callbacks, the control host, the design fonts.
#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "mainwin/frmVemo.h"
#include "platform/com/ControlHost.h"
#include "platform/tray/Tray.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/MsgBox.h"
#include "platform/win/WindowsFolder.h"
#include "tests/support/FakeTray.h"
#include "tests/support/FakeWindowsFolder.h"
#include "tests/support/TestEnv.h"

namespace numora {
namespace {

TEST(WindowPlatform, WindowsFolderIsNeverCutOrOverrun)
{
    {
        test::TestEnv env; // WINDIR points into the test's folder
        qputenv("WINDIR", (env.root() + QStringLiteral("/windows//")).toLocal8Bit());
        EXPECT_EQ(win::windowsFolder(), env.root() + QStringLiteral("/windows"));
    }

    // Longer than the classic 255-character buffer: the call says how much
    // room it needs and writes nothing; the folder still comes back whole.
    const QString deep = QStringLiteral("/srv/") + QString(300, QLatin1Char('w'));
    test::FakeWindowsFolder folder(deep);
    char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), ' ');
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, 255), 306u);
    EXPECT_EQ(buffer[254], ' ');
    EXPECT_EQ(win::windowsFolder(), deep);

    test::FakeWindowsFolder shortFolder(QStringLiteral("/win"));
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, 255), 4u);
    EXPECT_STREQ(buffer, "/win");
    EXPECT_EQ(win::GetWindowsDirectoryA(buffer, 4), 5u); // no room for the NUL
}

TEST(WindowPlatform, TrayTipIsNulTerminatedAndBlankFilled)
{
    tray::NotifyIconData nid;
    nid.setTip(QStringLiteral("Numora"));
    EXPECT_EQ(nid.tip(), QStringLiteral("Numora"));
    EXPECT_EQ(nid.szTip[6], '\0');
    EXPECT_EQ(nid.szTip[63], ' ');

    nid.setTip(QString(100, QLatin1Char('x'))); // cut to fit, NUL kept
    EXPECT_EQ(nid.tip().size(), 63);
    EXPECT_EQ(nid.szTip[63], '\0');
}

// Records the tray callbacks that reach a window.
class CallbackWindow : public QWidget {
public:
    std::vector<int> codes;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == tray::TrayCallbackEvent::eventType()) {
            codes.push_back(static_cast<tray::TrayCallbackEvent*>(e)->code());
            return true;
        }
        return QWidget::event(e);
    }
};

TEST(WindowPlatform, IconCallbacksReachTheirWindowAndNotMouseMoves)
{
    test::FakeTray fakeTray;
    CallbackWindow window;
    tray::NotifyIconData nid;
    nid.hWnd = &window;
    nid.uID = 1;
    nid.uFlags = tray::NIF_MESSAGE | tray::NIF_ICON | tray::NIF_TIP;
    nid.uCallbackMessage = tray::WM_MOUSEMOVE;

    EXPECT_TRUE(tray::Shell_NotifyIconA(tray::NIM_ADD, nid));
    EXPECT_FALSE(tray::Shell_NotifyIconA(tray::NIM_ADD, nid)); // the same icon twice
    ASSERT_TRUE(fakeTray.click(&window, 1, tray::WM_LBUTTONDBLCLK));
    ASSERT_TRUE(fakeTray.click(&window, 1, tray::WM_RBUTTONUP));
    EXPECT_EQ(window.codes, (std::vector<int>{515, 517}));

    // A record without the message flag asks for no callbacks.
    tray::NotifyIconData quiet = nid;
    quiet.uID = 2;
    quiet.uFlags = tray::NIF_ICON;
    EXPECT_TRUE(tray::Shell_NotifyIconA(tray::NIM_ADD, quiet));
    fakeTray.click(&window, 2, tray::WM_LBUTTONDBLCLK);
    EXPECT_EQ(window.codes.size(), 2u);

    EXPECT_TRUE(tray::Shell_NotifyIconA(tray::NIM_DELETE, nid));
    EXPECT_FALSE(tray::Shell_NotifyIconA(tray::NIM_DELETE, nid));
    EXPECT_FALSE(fakeTray.click(&window, 1, tray::WM_LBUTTONDBLCLK));
}

// A message names folders and cards as they are: markup in one is shown, not
// rendered.
TEST(WindowPlatform, MessageBoxesShowTheirTextAsWritten)
{
    const QString text = QStringLiteral("The data folder \"/home/<b>dana</b>/<img src=x>\" cannot be used.");
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (box && box->isVisible()) {
                shown = box->text();
                format = box->textFormat();
                box->button(QMessageBox::Ok)->click();
            }
        }
    });
    answer.start(10);
    ui::MsgBox(text, ui::vbCritical, QStringLiteral("Numora"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, text);
}

TEST(WindowPlatform, UnregisteredControlIsNotCreated)
{
    test::TestEnv env; // an empty private registry
    QWidget container;
    EXPECT_EQ(com::createControl("Kwendo.Ravelle", &container), nullptr);
}

TEST(WindowPlatform, DesignFontsMapToInstalledHebrewFaces)
{
    const QStringList families = QFontDatabase::families();
    if (!families.contains(QStringLiteral("Frank Ruehl CLM")))
        GTEST_SKIP() << "the Culmus fonts are not installed";
    frmVemo w;
    EXPECT_EQ(QFontInfo(w.lblHeader[0]->font()).family(), QStringLiteral("Frank Ruehl CLM"));
    const QFont serif = ui::designFont(QStringLiteral("Times New Roman"), 10);
    if (families.contains(QStringLiteral("Liberation Serif"))) {
        EXPECT_EQ(QFontInfo(serif).family(), QStringLiteral("Liberation Serif"));
    }
}

} // namespace
} // namespace numora
