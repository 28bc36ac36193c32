// The about box: opened beside the main window, filled at every opening,
// closed by Enter or Esc, and the system information tool found through the
// machine's registry.
#include "about/frmAbout.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "tests/mainwin/grid_fixture.h"
#include "tests/support/FakeTasks.h"

namespace numora::test {
namespace {

using namespace registry;

const char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

void closeBy(int key)
{
    frmAbout* box = frmAbout::existingInstance();
    ASSERT_TRUE(box && box->isVisible());
    QTest::keyClick(box, static_cast<Qt::Key>(key));
    EXPECT_FALSE(frmAbout::existingInstance()) << "unloaded, to be created afresh";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(GridWindowTest, AboutOpensFromHelpBesideTheMainWindowFilledAndEnterOrEscClosesIt)
{
    start();
    w->mnuAbout->trigger();
    frmAbout* box = frmAbout::existingInstance();
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About Numora"));
    EXPECT_EQ(box->lblTitle->text(), QStringLiteral("Numora 1.7.1"));
    EXPECT_EQ(box->lblDescription->text(),
              QStringLiteral("The Numora is a smalle program to create and handle personal\\work phone cards."));
    EXPECT_FALSE(box->lblDisclaimer->text().isEmpty());
    closeBy(Qt::Key_Escape);

    w->mnuAbout->trigger();
    closeBy(Qt::Key_Return);
    EXPECT_TRUE(w->isLoaded());
}

class SysInfoTest : public ::testing::Test {
protected:
    void SetUp() override { ui::setAppTitle(QStringLiteral("Numora")); }

    static void setText(const char* key, const char* name, const QString& text)
    {
        ASSERT_EQ(writeText(HKEY_LOCAL_MACHINE, key, name, text.toStdString()), ERROR_SUCCESS);
    }

    // Asks for the tool; true when it was started (from where is recorded).
    bool startSysInfo()
    {
        const auto startsBefore = tasks.started.size();
        const auto boxesBefore = boxes.asked.size();
        frmAbout::instance().StartSysInfo();
        const bool started = tasks.started.size() > startsBefore;
        EXPECT_EQ(boxes.asked.size(), boxesBefore + (started ? 0 : 1));
        if (!started && !boxes.asked.empty()) {
            EXPECT_EQ(boxes.asked.back().text, kUnavailable);
            EXPECT_EQ(boxes.asked.back().style, ui::vbOKOnly);
            EXPECT_EQ(boxes.asked.back().title, QStringLiteral("Numora"));
        }
        return started;
    }

    void TearDown() override { delete frmAbout::existingInstance(); }

    TestEnv env;
    FakeMessageBoxes boxes;
    FakeTasks tasks;
};

TEST_F(SysInfoTest, TheToolIsStartedFromItsPathOrFromItsFolderWhenItIsThere)
{
    EXPECT_FALSE(startSysInfo()) << "nothing recorded";

    // Only the folder: the tool must be in it.
    const QString folder = env.root() + QStringLiteral("/shared tools/msinfo");
    QDir().mkpath(folder);
    setText(kFolderKey, "MSINFO", folder);
    EXPECT_FALSE(startSysInfo()) << "the folder holds no tool";
    QFile(folder + QStringLiteral("/MSINFO32.EXE")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(startSysInfo());
    EXPECT_EQ(tasks.started.last(), folder + QStringLiteral("/MSINFO32.EXE"));

    // The full path comes first and is started as it is.
    setText(kToolKey, "PATH", QStringLiteral("/opt/sysinfo/bin/sysinfo"));
    ASSERT_TRUE(startSysInfo());
    EXPECT_EQ(tasks.started.last(), QStringLiteral("/opt/sysinfo/bin/sysinfo"));

    // A key that exists but cannot be opened with all access counts as
    // missing: the folder's tool is started instead, and without that too
    // the tool is unavailable.
    ASSERT_EQ(seam()->setKeyReadOnly(HKEY_LOCAL_MACHINE, kToolKey, true), ERROR_SUCCESS);
    ASSERT_TRUE(startSysInfo());
    EXPECT_EQ(tasks.started.last(), folder + QStringLiteral("/MSINFO32.EXE"));
    ASSERT_EQ(seam()->setKeyReadOnly(HKEY_LOCAL_MACHINE, kFolderKey, true), ERROR_SUCCESS);
    EXPECT_FALSE(startSysInfo());
    ASSERT_EQ(seam()->setKeyReadOnly(HKEY_LOCAL_MACHINE, kToolKey, false), ERROR_SUCCESS);

    // A tool that cannot be started is as unavailable as a missing one.
    tasks.startFailure = Error(53, "File not found: /opt/sysinfo/bin/sysinfo");
    const auto boxesBefore = boxes.asked.size();
    frmAbout::instance().StartSysInfo();
    ASSERT_EQ(boxes.asked.size(), boxesBefore + 1);
    EXPECT_EQ(boxes.asked.back().text, kUnavailable);
}

TEST_F(SysInfoTest, GetKeyValueReadsTextAndNumbersAndEmptiesTheValueWhenThereIsNone)
{
    const char key[] = "SOFTWARE\\Numora\\Values";
    setText(key, "Text", QStringLiteral("/usr/bin/sysinfo"));
    HKEY handle = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    const BYTE number[] = {0x04, 0x03, 0x02, 0x01}; // 0x01020304, lowest byte first
    ASSERT_EQ(RegSetValueExA(handle, "Number", 0, REG_DWORD, number, sizeof number), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, "Bytes", 0, REG_BINARY, number, sizeof number), ERROR_SUCCESS);
    RegCloseKey(handle);

    QString value = QStringLiteral("before");
    EXPECT_TRUE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(key), QStringLiteral("text"), value));
    EXPECT_EQ(value, QStringLiteral("/usr/bin/sysinfo"));
    EXPECT_TRUE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(key), QStringLiteral("Number"), value));
    EXPECT_EQ(value, QStringLiteral("16909060"));
    EXPECT_TRUE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(key), QStringLiteral("Bytes"), value));
    EXPECT_EQ(value, QStringLiteral("16909060")) << "a value of another kind leaves the text as it was";
    EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(key), QStringLiteral("Missing"), value));
    EXPECT_TRUE(value.isEmpty());
    value = QStringLiteral("before");
    EXPECT_FALSE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Nowhere"), QString(), value));
    EXPECT_TRUE(value.isEmpty());
}

} // namespace
} // namespace numora::test
