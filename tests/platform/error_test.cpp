// Statements skipped one by one leave a trace in their area's log.

#include "platform/core/Error.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QStringList>

#include <optional>

namespace {

Q_LOGGING_CATEGORY(lcTest, "numora.test", QtInfoMsg)

QStringList g_logged;
void record(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    g_logged << QString::fromUtf8(context.category) + QLatin1Char(' ') + text;
}

TEST(ResumeNext, LogsEachSkippedFailureKeepsTheLastAndLetsFaultsOfTheProgramThrough)
{
    // Off by default: nothing is written until the area is switched on.
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(record);
    EXPECT_FALSE(numora::resumeNext(lcTest(), [] { throw numora::Error(58, "File already exists"); }));
    EXPECT_TRUE(g_logged.isEmpty());

    QLoggingCategory::setFilterRules(QStringLiteral("numora.*=true"));
    std::optional<numora::Error> last;
    const int line = __LINE__ + 1;
    EXPECT_FALSE(numora::resumeNext(lcTest(), last, [] { throw numora::Error(58, "File already exists"); }));
    EXPECT_EQ(last->number(), 58);
    EXPECT_FALSE(numora::resumeNext(lcTest(), last, [] { throw std::runtime_error("disk full"); }));
    EXPECT_TRUE(numora::resumeNext(lcTest(), last, [] {}));
    EXPECT_EQ(last->number(), 0); // the latest failure stays, a later success changes nothing
    EXPECT_EQ(last->description(), "disk full");
    // Running out of memory, a broken assumption and anything that is no
    // error at all are not one statement's failure.
    EXPECT_THROW(numora::resumeNext(lcTest(), [] { throw std::bad_alloc(); }), std::bad_alloc);
    EXPECT_THROW(numora::resumeNext(lcTest(), last, [] { throw std::length_error("too long"); }), std::length_error);
    EXPECT_THROW(numora::resumeNext(lcTest(), [] { throw 42; }), int);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    ASSERT_EQ(g_logged.size(), 2);
    EXPECT_TRUE(g_logged[0].startsWith(QStringLiteral("numora.test skipped at "))) << g_logged[0].toStdString();
    EXPECT_TRUE(g_logged[0].contains(QStringLiteral("error_test.cpp:%1 (").arg(line))) << g_logged[0].toStdString();
    EXPECT_TRUE(g_logged[0].endsWith(QStringLiteral("error 58: File already exists")));
    EXPECT_TRUE(g_logged[1].endsWith(QStringLiteral("error 0: disk full")));
    EXPECT_EQ(last->description(), "disk full");
}

} // namespace
