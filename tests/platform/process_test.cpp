// The process layer on a real X display: a started program's window found by
// its task id, activated, and typed into.
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <csignal>

#include "platform/core/Error.h"
#include "platform/process/Tasks.h"
#include "tests/support/Xvfb.h"

namespace numora::process {
namespace {

// Points this process's X clients and the programs it starts at a display.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

QString waitForText(const QString& path, const QString& wanted)
{
    QString text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            text = QString::fromUtf8(file.readAll());
        if (text == wanted)
            break;
        QThread::msleep(50);
    }
    return text;
}

TEST(Tasks, AStartedProgramsWindowIsFoundByItsTaskAndTakesEveryTypedCharacterAsItself)
{
    test::Xvfb x;
    if (x.display().isEmpty())
        GTEST_SKIP() << "Xvfb is not available";
    const ScopedEnv display("DISPLAY", x.display());
    const ScopedEnv platform("QT_QPA_PLATFORM", QStringLiteral("xcb"));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("typed.txt"));

    const long long task = Shell(QStringLiteral("%1 %2").arg(QLatin1String(NUMORA_KEYSINK), out));
    ASSERT_GT(task, 0);
    AppActivate(task);
    // Characters that key syntaxes give a meaning of their own arrive as
    // typed, and so do letters the display's US keyboard map lacks, more of
    // them than it has spare keys, whatever the program's locale.
    const QString number = QString::fromUtf8("+972 (3) 555-0101 {ENTER}~^%#* מחלקה 0");
    const QString alphabet = QString::fromUtf8(" אבגדהוזחטיכךלמםנןסעפףצץקרשת");
    const QByteArray locale = setlocale(LC_CTYPE, nullptr);
    setlocale(LC_CTYPE, "C");
    SendKeys(number);
    SendKeys(alphabet);
    setlocale(LC_CTYPE, locale.constData());
    EXPECT_EQ(waitForText(out, number + alphabet), number + alphabet);
    ::kill(static_cast<pid_t>(task), SIGTERM);

    // No such program; a program that ends without showing a window.
    try {
        Shell(QStringLiteral("numora-no-such-dialer"));
        ADD_FAILURE() << "a missing program started";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 53);
    }
    const long long quiet = Shell(QStringLiteral("true"));
    EXPECT_THROW(AppActivate(quiet), Error);
}

} // namespace
} // namespace numora::process
