// Import Cards and Export Cards: the cards of the group shown traded with the
// files other address books and phones read and write (vCard and CSV), and a
// file of cards dropped on the grid. The work is the exchange library's, on
// the data file through the data core; an import adds all the cards it
// takes or none. The window asks, shows how far a long run is, and ends with
// one box that says what was done and what was left out, and why.
#include "mainwin/frmVemo.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mainwin/Module1.h"
#include "platform/controls/FlexGrid.h"
#include "platform/ui/MsgBox.h"
#include "store/Server.h"
#include "store/Store.h"
#include "tools/exchange/Exchange.h"
#include "tools/exchange/Sync.h"
#include "tools/exchange/Text.h"

namespace numora {
namespace {

Q_LOGGING_CATEGORY(lcCards, "numora.cards", QtInfoMsg)

constexpr char kCardsFilter[] = "Cards (*.vcf *.vcard *.csv)|*.vcf;*.vcard;*.csv|vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv";
constexpr char kExportFilter[] = "vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv";
// Runs over fewer cards than this end before a progress box would be read.
constexpr std::size_t kQuietCards = 300;
// A box names this many skipped cards or notes, and counts the rest.
constexpr std::size_t kListedInBox = 5;

QString fromUtf8(const std::string& s) { return QString::fromStdString(exchange::text::printable(s)); }

QString lower(const QString& path) { return QFileInfo(path).suffix().toLower(); }

bool isCardsFileName(const QString& path)
{
    const QString suffix = lower(path);
    return suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard") || suffix == QLatin1String("csv");
}

// The format a file of cards is in: by its name where that tells, else by
// whether it holds a vCard at all.
exchange::Format formatOfFile(const QString& path)
{
    const QString suffix = lower(path);
    if (suffix == QLatin1String("csv"))
        return exchange::Format::Csv;
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return exchange::Format::VCard;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && !file.read(64 * 1024).toUpper().contains("BEGIN:VCARD"))
        return exchange::Format::Csv;
    return exchange::Format::VCard;
}

// The format an export writes: CSV for a name that ends in .csv, else vCard.
exchange::Format formatToWrite(const QString& path)
{
    return lower(path) == QLatin1String("csv") ? exchange::Format::Csv : exchange::Format::VCard;
}

struct Cancelled {};

// A progress box over the window while a long run works, shown from the
// first step of a run over many cards. It is modal to the program: nothing
// else changes cards meanwhile. Cancel ends the run at its next step, which
// then writes nothing.
class ProgressBox {
public:
    ProgressBox(QWidget* parent, QString title) : parent_(parent), title_(std::move(title)) {}

    exchange::Progress callback()
    {
        return [this](const char* step, std::size_t done, std::size_t total) { update(step, done, total); };
    }

private:
    void update(const char* step, std::size_t done, std::size_t total)
    {
        if (total < kQuietCards)
            return;
        if (!dialog_) {
            dialog_ = std::make_unique<QProgressDialog>(parent_);
            dialog_->setObjectName(QStringLiteral("cardsProgress"));
            dialog_->setWindowTitle(title_);
            dialog_->setWindowModality(Qt::ApplicationModal);
            dialog_->setAutoReset(false);
            dialog_->setAutoClose(false);
            dialog_->show();
        }
        QString what = QString::fromUtf8(step);
        if (!what.isEmpty())
            what[0] = what[0].toUpper();
        dialog_->setLabelText(QStringLiteral("%1 cards: %2 of %3").arg(what).arg(done).arg(total));
        dialog_->setMaximum(static_cast<int>(total));
        dialog_->setValue(static_cast<int>(done));
        QCoreApplication::processEvents();
        if (dialog_->wasCanceled())
            throw Cancelled{};
    }

    QWidget* parent_;
    QString title_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// The first few lines, each on a line of its own, then how many more there are.
void appendFirstFew(QString& text, const std::vector<QString>& lines, const QString& newLine)
{
    for (std::size_t i = 0; i < lines.size() && i < kListedInBox; ++i)
        text += newLine + lines[i];
    if (lines.size() > kListedInBox)
        text += newLine + QStringLiteral("and %1 more").arg(lines.size() - kListedInBox);
}

void appendNotes(QString& text, const exchange::Notes& notes, const QString& newLine)
{
    std::vector<QString> lines;
    for (const std::string& line : notes.lines())
        lines.push_back(fromUtf8(line));
    if (lines.empty())
        return;
    text += newLine + QStringLiteral("Notes:");
    appendFirstFew(text, lines, newLine);
}

QString skippedLine(const exchange::Skipped& s)
{
    QString line = QStringLiteral("card %1").arg(s.number);
    if (s.line > 0)
        line += QStringLiteral(" (line %1)").arg(s.line);
    return line + QStringLiteral(" \"%1\": %2").arg(fromUtf8(s.name), fromUtf8(s.reason));
}

// Nothing can be written while another program holds the file.
void tellFileInUse(const char* done)
{
    ui::MsgBox(QStringLiteral("The directory file %1 is in use by another program; cards can be %2 when that program "
                              "has finished with it.")
                   .arg(store::reachedFile(), QLatin1String(done)),
               ui::vbExclamation);
}

QString plural(std::size_t n) { return n == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(n); }

// The file the user chose in the dialog, offered name first and the filter's
// first pair chosen; none when the dialog was cancelled or could not be shown
// (which is then said).
std::optional<QString> chooseCardsFile(ui::CommonDialog& dialog, ui::FileDialogRequest::Kind kind,
                                       const QString& offered, const char* filter)
{
    dialog.FileName = offered;
    dialog.Filter = QLatin1String(filter);
    dialog.FilterIndex = 1;
    try {
        if (kind == ui::FileDialogRequest::Save ? dialog.ShowSave() : dialog.ShowOpen())
            return dialog.FileName;
    } catch (const std::exception& e) {
        ui::MsgBox(QString::fromUtf8(e.what()), ui::vbOKOnly | ui::vbExclamation);
    }
    return std::nullopt;
}

// The file the only file URL of a drag names, when it is a file of cards.
std::optional<QString> droppedCardsFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().constFirst().isLocalFile())
        return std::nullopt;
    const QString path = data->urls().constFirst().toLocalFile();
    if (!isCardsFileName(path))
        return std::nullopt;
    return path;
}

} // namespace

void frmVemo::mnuImportCards_Click()
{
    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    if (!table)
        return;
    if (const std::optional<QString> path =
            chooseCardsFile(CommonDialog1, ui::FileDialogRequest::Open, QString(), kCardsFilter))
        importCards(*path, *table);
}

void frmVemo::importCards(const QString& path, const store::Table& table)
{
    Module1State& m = Module1();
    const QString group = QLatin1String(table.group);
    // Nothing can be added while another program holds the file.
    const bool server = store::onServer(table);
    if (!server && awaitingDataFile()) {
        tellFileInUse("imported");
        return;
    }
    const std::string database = QFile::encodeName(store::dataFilePath(m.strDataFolder)).toStdString();
    const std::string file = QFile::encodeName(path).toStdString();
    ProgressBox progress(this, QStringLiteral("Import Cards"));
    exchange::ImportPlan plan;
    try {
        plan = server ? exchange::importCards(*m.connectionFor(table), table,
                                              exchange::readCardsFile(file, formatOfFile(path)))
                      : exchange::importFile(database, table, formatOfFile(path), file, false, progress.callback());
    } catch (const Cancelled&) {
        qCDebug(lcCards) << "import of" << path << "cancelled";
        ui::MsgBox(QStringLiteral("Import Cards was cancelled; no card was added."), ui::vbOKOnly);
        return;
    } catch (const std::exception& e) {
        qCDebug(lcCards) << "import of" << path << "failed:" << e.what();
        if (const std::optional<QString> gone = m.serverGoneText(table, e))
            ui::MsgBox(*gone, ui::vbOKOnly | ui::vbExclamation);
        else
            ui::MsgBox(QStringLiteral("Failed to import cards! ") + fromUtf8(e.what()),
                       ui::vbOKOnly | ui::vbExclamation);
        return;
    }
    qCDebug(lcCards).noquote() << QStringLiteral("added %1 cards to the %2 group from %3, skipped %4")
                                      .arg(plan.toAdd.size())
                                      .arg(group, path)
                                      .arg(plan.skipped.size());

    QString text =
        QStringLiteral("Import Cards from %1 has added %2 to the %3 group").arg(path, plural(plan.toAdd.size()), group);
    if (plan.skipped.empty()) {
        text += QLatin1Char('.');
    } else {
        text += QStringLiteral(" and skipped %1:").arg(plan.skipped.size());
        std::vector<QString> lines;
        for (const exchange::Skipped& s : plan.skipped)
            lines.push_back(skippedLine(s));
        appendFirstFew(text, lines, m.strNewLine);
    }
    appendNotes(text, plan.notes, m.strNewLine);
    ui::MsgBox(text, plan.skipped.empty() ? ui::vbOKOnly : ui::vbOKOnly | ui::vbExclamation);
    if (!plan.toAdd.empty())
        m.announceCardsChanged();
}

void frmVemo::showSyncCards()
{
    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    mnuSyncCards->setVisible(table && !store::groupSyncFolder(*table).isEmpty());
}

void frmVemo::mnuSyncCards_Click()
{
    Module1State& m = Module1();
    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    if (!table)
        return;
    const QString folder = store::groupSyncFolder(*table);
    if (folder.isEmpty())
        return;
    const QString group = QLatin1String(table->group);
    // The sync works on the group in the directory file.
    if (store::onServer(*table)) {
        ui::MsgBox(QStringLiteral("The %1 group lives on a database server; Sync Cards keeps only a group in the "
                                  "directory file in step with a folder.")
                       .arg(group),
                   ui::vbExclamation);
        return;
    }
    if (awaitingDataFile()) {
        tellFileInUse("synced");
        return;
    }
    const std::string database = QFile::encodeName(store::dataFilePath(m.strDataFolder)).toStdString();
    ProgressBox progress(this, QStringLiteral("Sync Cards"));
    exchange::SyncResult result;
    try {
        result =
            exchange::syncGroup(database, *table, QFile::encodeName(folder).toStdString(), {}, progress.callback());
    } catch (const Cancelled&) {
        qCDebug(lcCards) << "sync with" << folder << "cancelled";
        ui::MsgBox(QStringLiteral("Sync Cards was cancelled; the group is as it was, and the next sync completes "
                                  "the folder."),
                   ui::vbOKOnly);
        return;
    } catch (const std::exception& e) {
        qCDebug(lcCards) << "sync with" << folder << "failed:" << e.what();
        ui::MsgBox(QStringLiteral("Failed to sync cards! ") + fromUtf8(e.what()), ui::vbOKOnly | ui::vbExclamation);
        return;
    }
    std::vector<QString> lines;
    for (const std::string& line : exchange::syncSummary(result, false))
        lines.push_back(fromUtf8(line));
    QString text = QStringLiteral("Sync Cards of the %1 group with %2:").arg(group, folder);
    appendFirstFew(text, lines, m.strNewLine);
    if (result.stopped)
        text += m.strNewLine + QStringLiteral("To delete them, run numora-dbtool sync with --force.");
    const bool told = result.stopped || !result.conflicts.empty() || !result.refused.empty();
    ui::MsgBox(text, told ? ui::vbOKOnly | ui::vbExclamation : ui::vbOKOnly);
    if (!result.addedToGroup.empty() || !result.changedInGroup.empty() || !result.deletedFromGroup.empty())
        m.announceCardsChanged();
}

void frmVemo::mnuExportCards_Click()
{
    Module1State& m = Module1();
    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    if (!table)
        return;
    const QString group = QLatin1String(table->group);
    const std::optional<QString> chosen =
        chooseCardsFile(CommonDialog1, ui::FileDialogRequest::Save, group + QStringLiteral(".vcf"), kExportFilter);
    if (!chosen)
        return;
    const QString& path = *chosen;
    if (QFileInfo::exists(path) && ui::MsgBox(QStringLiteral("Do you want to overwrite ") + path + QLatin1Char('?'),
                                              ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1) != ui::vbYes)
        return;
    const std::string database = QFile::encodeName(store::dataFilePath(m.strDataFolder)).toStdString();
    ProgressBox progress(this, QStringLiteral("Export Cards"));
    exchange::ExportResult result;
    try {
        const std::string file = QFile::encodeName(path).toStdString();
        if (store::onServer(*table)) {
            const std::vector<exchange::Card> cards = exchange::readGroup(*m.connectionFor(*table), *table);
            result.cards = cards.size();
            exchange::writeFileSafely(
                file, exchange::writeCards(cards, *table, formatToWrite(path), result.notes, progress.callback()));
        } else {
            result = exchange::exportGroup(database, *table, formatToWrite(path), file, progress.callback());
        }
    } catch (const Cancelled&) {
        ui::MsgBox(QStringLiteral("Export Cards was cancelled; no file was written."), ui::vbOKOnly);
        return;
    } catch (const std::exception& e) {
        qCDebug(lcCards) << "export to" << path << "failed:" << e.what();
        if (const std::optional<QString> gone = m.serverGoneText(*table, e))
            ui::MsgBox(*gone, ui::vbOKOnly | ui::vbExclamation);
        else
            ui::MsgBox(QStringLiteral("Failed to export cards! ") + fromUtf8(e.what()),
                       ui::vbOKOnly | ui::vbExclamation);
        return;
    }
    QString text =
        QStringLiteral("Export Cards to %1 has written %2 of the %3 group.").arg(path, plural(result.cards), group);
    appendNotes(text, result.notes, m.strNewLine);
    ui::MsgBox(text, ui::vbOKOnly);
}

bool frmVemo::gridDropEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event); // a QDragEnterEvent or QDragMoveEvent
        if (!droppedCardsFile(drag->mimeData()))
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> path = droppedCardsFile(drop->mimeData());
        if (!path)
            return false;
        drop->acceptProposedAction();
        // Asked once the drop has ended: the program the file came from is
        // not kept waiting on the question.
        QTimer::singleShot(0, this, [this, file = *path] {
            const store::Table* table = store::tableForGroup(cmbGroup->currentText());
            if (!table || !isLoaded())
                return;
            if (ui::MsgBox(
                    QStringLiteral("Import the cards of %1 into the %2 group?").arg(file, QLatin1String(table->group)),
                    ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1) == ui::vbYes)
                importCards(file, *table);
        });
        return true;
    }
    default: return false;
    }
}

} // namespace numora
