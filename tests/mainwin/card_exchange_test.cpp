// Import Cards and Export Cards through the main window's Option menu, and a
// file of cards dropped on the grid: the group shown, the one box at the end,
// the progress box of a long run, and the directory left whole when a run
// fails or is cancelled.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QUrl>

#include <gtest/gtest.h>

#include "store/CardChecks.h"
#include "tests/mainwin/grid_fixture.h"
#include "tests/support/FakeFileDialogs.h"
#include "tools/exchange/Sync.h"

namespace numora::test {
namespace {

std::string vcard(const std::string& name, const std::string& phone)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nTEL;TYPE=HOME:" + phone + "\r\nEND:VCARD\r\n";
}

// Sees every progress box the program shows; with cancel set it presses the
// box's Cancel as soon as the box appears.
class ProgressWatch : public QObject {
public:
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }

    bool cancel = false;
    QStringList labels; // the label of each box shown, as it first read

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QProgressDialog*>(watched)) {
                labels << box->windowTitle();
                EXPECT_TRUE(box->isModal());
                if (cancel)
                    box->cancel();
            }
        }
        return false;
    }
};

class CardExchange : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        insertCards(path(), store::kPersonalTable, personalCards());
        insertCards(path(), store::kWorkTable, workCards());
        start();
        boxes.asked.clear();
    }

    QString file(const char* name, const std::string& bytes) const
    {
        const QString at = env.root() + QLatin1Char('/') + QLatin1String(name);
        QFile f(at);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return at;
    }

    // How many cards the group holds where it lives.
    long count(const char* table) const
    {
        const std::string sql = std::string("select count(*) from ") + table;
        if (!server_)
            return std::stol(SqliteFile(path()).rows(sql).at(0).at(0).value());
        ado::Connection cn;
        cn.Open(server_->connectionString());
        return std::stol(cn.Execute(sql)->Field(0).value());
    }

    QString lastBox() const { return boxes.asked.empty() ? QString() : boxes.asked.back().text; }

    FakeFileDialogs dialogs;
};

// Import and Export on the directory file and on a server alike; the
// progress box, the sync and a drop are the file's.
using CardExchangeOnBothEngines = OnBothEngines<CardExchange>;

TEST_P(CardExchangeOnBothEngines, ImportAddsToTheGroupShownAndNamesTheFirstSkippedCards)
{
    // A file with no cards in it is refused whole, with its name.
    const QString empty = file("empty.vcf", "hello\r\n");
    dialogs.choose(empty);
    w->mnuImportCards->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("Failed to import cards! ") + empty)) << lastBox().toStdString();
    EXPECT_EQ(boxes.asked.back().style, ui::vbOKOnly | ui::vbExclamation);
    EXPECT_EQ(count("Vemo"), 11);

    // One new card, and seven whose names the group has already.
    std::string bytes = vcard("אביב חן", "03-5550101");
    const char* used[] = {"אשכול נועה", "ארבל מיכל", "ברק יוסי", "לביא רונית", "לוי אבי", "Orion Tech", "orbit"};
    for (const char* name : used)
        bytes += vcard(name, "03-5550000");
    const QString cards = file("cards.vcf", bytes);
    boxes.asked.clear();
    dialogs.choose(cards);
    w->mnuImportCards->trigger();

    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked.back().kind, ui::FileDialogRequest::Open);
    EXPECT_TRUE(dialogs.asked.back().filter.startsWith(QStringLiteral("Cards (*.vcf *.vcard *.csv)|")));
    ASSERT_EQ(boxes.asked.size(), 1u);
    const QString nl = Module1().strNewLine;
    const QString usedName = QString::fromUtf8(store::kNameUsed);
    EXPECT_EQ(lastBox(), QStringLiteral("Import Cards from ") + cards +
                             QStringLiteral(" has added 1 card to the Personal group and skipped 7:") + nl +
                             heb("card 2 (line 6) \"אשכול נועה\": ") + usedName + nl +
                             heb("card 3 (line 11) \"ארבל מיכל\": ") + usedName + nl +
                             heb("card 4 (line 16) \"ברק יוסי\": ") + usedName + nl +
                             heb("card 5 (line 21) \"לביא רונית\": ") + usedName + nl +
                             heb("card 6 (line 26) \"לוי אבי\": ") + usedName + nl + QStringLiteral("and 2 more"));
    EXPECT_EQ(count("Vemo"), 12);
    EXPECT_EQ(count("Work"), 3);
    // The grid lists the new card at once, under the tab shown.
    EXPECT_TRUE(listedNames().contains(heb("אביב חן")));
}

TEST_F(CardExchange, ALongImportShowsItsProgressAndCancelAddsNothing)
{
    std::string csv = "Name,Home Phone\r\n";
    for (int i = 0; i < 1200; ++i)
        csv += "אדם " + std::to_string(i) + ",03-" + std::to_string(5550000 + i) + "\r\n";
    const QString cards = file("many.csv", csv);

    ProgressWatch watch;
    watch.cancel = true;
    dialogs.choose(cards);
    w->mnuImportCards->trigger();
    EXPECT_EQ(watch.labels, QStringList{"Import Cards"});
    EXPECT_EQ(lastBox(), QStringLiteral("Import Cards was cancelled; no card was added."));
    EXPECT_EQ(count("Vemo"), 11);

    watch.cancel = false;
    boxes.asked.clear();
    dialogs.choose(cards);
    w->mnuImportCards->trigger();
    EXPECT_EQ(watch.labels.size(), 2);
    EXPECT_EQ(lastBox(), QStringLiteral("Import Cards from ") + cards +
                             QStringLiteral(" has added 1200 cards to the Personal group."));
    EXPECT_EQ(count("Vemo"), 1211);
    EXPECT_EQ(w->findChildren<QProgressDialog*>().size(), 0) << "the progress box stays behind";
}

TEST_F(CardExchange, SyncCardsShowsForAGroupWithAFolderAndKeepsBothInStep)
{
    const QString folder = env.root() + QStringLiteral("/phone");
    ASSERT_TRUE(QDir().mkpath(folder));
    emit w->mnuOption->aboutToShow();
    EXPECT_FALSE(w->mnuSyncCards->isVisible());
    QSettings(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Numora.ini"), QSettings::IniFormat)
        .setValue(QStringLiteral("Setting/PersonalSyncFolder"), folder);
    emit w->mnuOption->aboutToShow();
    EXPECT_TRUE(w->mnuSyncCards->isVisible());

    // A phone's card arrives in national form; one the group refuses is named and stays.
    file("phone/phone-1.vcf", vcard("אביב חן", "+972 3 555 0101"));
    file("phone/phone-2.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Number\r\nEND:VCARD\r\n");
    w->mnuSyncCards->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("Sync Cards of the Personal group with ") + folder + ":"));
    EXPECT_TRUE(lastBox().contains(heb("added to the group: אביב חן"))) << lastBox().toStdString();
    EXPECT_TRUE(lastBox().contains(QStringLiteral("refused phone-2.vcf: ") + QString::fromUtf8(store::kNoNumber)));
    EXPECT_EQ(count("Vemo"), 12);
    EXPECT_TRUE(listedNames().contains(heb("אביב חן")));
    EXPECT_EQ(SqliteFile(path()).rows("select Phone from Vemo where Name = 'אביב חן'").at(0).at(0), "03-5550101");
    // The group's eleven cards went to the folder, beside the phone's two.
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.vcf")}, QDir::Files).size(), 13);

    // A sync run by the timer while the window is open shows at the next activation.
    file("phone/phone-3.vcf", vcard("אגם טל", "04-5550303"));
    exchange::syncGroup(path(), store::kPersonalTable, folder.toStdString(), {});
    EXPECT_FALSE(listedNames().contains(heb("אגם טל")));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(w.get(), &activate);
    EXPECT_TRUE(listedNames().contains(heb("אגם טל")));

    chooseGroup(QStringLiteral("Work"));
    EXPECT_FALSE(w->mnuSyncCards->isVisible());
}

TEST_P(CardExchangeOnBothEngines, ExportWritesTheGroupShownInTheFormatItsNameSays)
{
    chooseGroup(QStringLiteral("Work"));
    const QString csv = env.root() + QStringLiteral("/work.csv");
    dialogs.choose(csv);
    w->mnuExportCards->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].kind, ui::FileDialogRequest::Save);
    EXPECT_EQ(dialogs.asked[0].fileName, QStringLiteral("Work.vcf"));
    EXPECT_EQ(lastBox(),
              QStringLiteral("Export Cards to ") + csv + QStringLiteral(" has written 3 cards of the Work group."));
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_FALSE(bytes.contains("BEGIN:VCARD"));
    EXPECT_TRUE(bytes.contains(heb("לנדאו שירה").toUtf8()));
    EXPECT_EQ(bytes.count('\n'), 4);

    // Over a file that is there already only after asking; No leaves it.
    boxes.answer(ui::vbNo);
    dialogs.choose(csv);
    w->mnuExportCards->trigger();
    EXPECT_EQ(lastBox(), QStringLiteral("Do you want to overwrite ") + csv + QLatin1Char('?'));
    written.seek(0);
    EXPECT_EQ(written.readAll(), bytes);

    // Never over the directory file itself.
    boxes.asked.clear();
    dialogs.choose(env.dbPath());
    w->mnuExportCards->trigger();
    EXPECT_TRUE(lastBox().startsWith(QStringLiteral("Failed to export cards! "))) << lastBox().toStdString();
    EXPECT_EQ(count("Work"), 3);
}

TEST_F(CardExchange, AFileOfCardsDroppedOnTheGridIsImportedAfterAQuestion)
{
    QWidget* viewport = grid().viewport();
    // A drop reaches the widget that took the drag as it entered.
    const auto drag = [&](const QString& dropped, bool drop) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted() || !drop)
            return enter.isAccepted();
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
        QCoreApplication::processEvents();
        return event.isAccepted();
    };
    const QString text = file("notes.txt", vcard("אביב חן", "03-5550101"));
    EXPECT_FALSE(drag(text, false)) << "only a vCard or CSV file is taken";

    const QString cards = file("dropped.vcf", vcard("אביב חן", "03-5550101"));
    boxes.answer(ui::vbNo);
    EXPECT_TRUE(drag(cards, true));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text,
              QStringLiteral("Import the cards of ") + cards + QStringLiteral(" into the Personal group?"));
    EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo | ui::vbQuestion);
    EXPECT_EQ(count("Vemo"), 11);

    EXPECT_TRUE(drag(cards, true));
    EXPECT_EQ(lastBox(), QStringLiteral("Import Cards from ") + cards +
                             QStringLiteral(" has added 1 card to the Personal group."));
    EXPECT_EQ(count("Vemo"), 12);
    EXPECT_TRUE(listedNames().contains(heb("אביב חן")));
}

INSTANTIATE_TEST_SUITE_P(Engines, CardExchangeOnBothEngines, ::testing::Values(Engine::File, Engine::Server),
                         engineName);

} // namespace
} // namespace numora::test
