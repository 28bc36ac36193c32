#pragma once
// Another program on the directory file, running as a process of its own
// (tests/support/peer): it holds the engine's locks, writes, and reads through
// an ODBC connection of its own, as a second running instance does. It
// inherits the test's private world (ODBCINI and the rest).

#include <QProcess>

#include <gtest/gtest.h>

#include <string>

namespace numora::test {

class Peer {
public:
    Peer()
    {
        process_.setProgram(QStringLiteral(NUMORA_TESTPEER));
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        started_ = process_.waitForStarted(10000);
    }
    ~Peer()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.write("quit\n");
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(1000);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // Runs one command and waits for its reply line.
    std::string ask(const std::string& command)
    {
        if (!started_)
            return "error the peer did not start";
        process_.write((command + "\n").c_str());
        process_.waitForBytesWritten(10000);
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(30000))
                return "error no reply to " + command;
        }
        std::string line = process_.readLine().toStdString();
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }

    // A command that must succeed.
    void must(const std::string& command) { EXPECT_EQ(ask(command), "ok") << command; }

    // Ends the process at once, as a kill does: whatever it held is let go
    // without its transaction ending.
    void kill()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    bool started_ = false;
};

} // namespace numora::test
