#pragma once
// A private X display for a test that needs a real one: Xvfb on a display
// number it picks itself, stopped when the object goes. display() is empty
// where Xvfb is not installed or did not start.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <sys/prctl.h>

#include <csignal>

namespace numora::test {

class Xvfb {
public:
    Xvfb()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        // The server goes with the test, even when the test crashes.
        server_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // -displayfd 1: Xvfb writes the display number it chose once it is ready.
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp")});
        QByteArray number;
        while (!number.endsWith('\n') && server_.waitForReadyRead(10000))
            number += server_.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return;
        display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    }
    ~Xvfb()
    {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            server_.waitForFinished(5000);
        }
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    QString display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

} // namespace numora::test
