// The main window and a data file it cannot use as it is: one that is missing
// at start-up (an empty one is offered), and one another program holds (the
// window comes up at once, says so, and lists the cards when the file is free;
// a later fill that meets such a lock leaves the grid as it was).
#include "mainwin/frmVemo.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "mainwin/Module1.h"
#include "platform/ado/Ado.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/ui/MsgBox.h"
#include "store/DirectoryFile.h"
#include "store/Store.h"

namespace numora {
namespace {

const QString& fileInUseStatus()
{
    static const QString text = QStringLiteral(" File in use");
    return text;
}

// A hidden name beside the data file that no file has yet; a start cut short
// leaves it as any other copy cut short, for the next start to remove.
QString hiddenNameBeside(const QString& dataFolder)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name;
    do {
        name = dataFolder + QLatin1Char('.') + QLatin1String(store::kDatabaseFileName) + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(static_cast<int>(sizeof alphabet) - 1)]);
    } while (QFileInfo::exists(name));
    return name;
}

// Makes an empty directory file at file, under a hidden name first and linked
// into place, so a start cut short never leaves half a file there and one
// made meanwhile by another start is kept. Throws std::exception.
void makeEmptyDataFile(const QString& dataFolder, const QString& file)
{
    const QString partial = hiddenNameBeside(dataFolder);
    const QByteArray partialName = QFile::encodeName(partial);
    store::makeDirectoryFile(partialName.toStdString(), store::FileFormat::Current);
    const int linked = ::link(partialName.constData(), QFile::encodeName(file).constData());
    const int error = errno;
    ::unlink(partialName.constData());
    if (linked != 0 && error != EEXIST)
        throw std::runtime_error(std::strerror(error));
}

} // namespace

bool frmVemo::offerDataFile(const QString& dataFolder)
{
    const QString file = store::dataFilePath(dataFolder);
    if (QFileInfo::exists(file))
        return true;
    const QString title = QLatin1String(kProgramName);
    if (ui::MsgBox(
            QStringLiteral("The directory file %1 does not exist. Make an empty directory file there?").arg(file),
            ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1, title) != ui::vbYes)
        return false;
    try {
        makeEmptyDataFile(dataFolder, file);
    } catch (const std::exception& e) {
        ui::MsgBox(
            QStringLiteral("The directory file %1 could not be made: %2.").arg(file, QString::fromUtf8(e.what())),
            ui::vbCritical, title);
        return false;
    }
    return true;
}

bool frmVemo::awaitingDataFile() const { return fileRetry_ && fileRetry_->isActive(); }

void frmVemo::awaitDataFile()
{
    setPanelText(1, fileInUseStatus());
    if (!fileRetry_) {
        fileRetry_ = new QTimer(this);
        fileRetry_->setInterval(kFileRetryMs);
        connect(fileRetry_, &QTimer::timeout, this, [this] {
            if (dataFileReady())
                RefreshGrid();
        });
    }
    fileRetry_->start();
    // Said once, with the window on screen; the cards may be listed behind
    // the box already when it is answered.
    const QString file = store::reachedFile();
    QTimer::singleShot(0, this, [this, file] {
        if (awaitingDataFile())
            ui::MsgBox(QStringLiteral("The directory file %1 is in use by another program. Numora lists its cards "
                                      "as soon as that program has finished with it.")
                           .arg(file),
                       ui::vbExclamation);
    });
}

bool frmVemo::dataFileReady()
{
    if (!awaitingDataFile())
        return true;
    // A look without waiting: the window goes on answering meanwhile.
    if (store::fileInUse(store::reachedFile(), store::FileUse::Reading, 0))
        return false;
    Module1State& m = Module1();
    if (!m.cnDirectory)
        m.cnDirectory = std::make_unique<ado::Connection>();
    bool inUse = false;
    const QString unusable = store::ServeDataFile(*m.cnDirectory, m.strDataFolder, &inUse);
    if (inUse)
        return false;
    fileRetry_->stop();
    if (!unusable.isEmpty())
        ui::MsgBox(unusable, ui::vbExclamation);
    return true;
}

bool frmVemo::goBackToListed()
{
    if (!listed_)
        return false;
    Module1().strCurrentLetter = listed_->letter;
    TabVemo->setCurrentIndex(listed_->tab);
    cmbGroup->setCurrentIndex(cmbGroup->findText(listed_->group));
    return true;
}

void frmVemo::keepListingForLock(const QString& file)
{
    if (!goBackToListed())
        setPanelText(1, fileInUseStatus());
    if (!awaitingDataFile())
        ui::MsgBox(QStringLiteral("The directory file %1 is in use by another program; the list stays as it was. "
                                  "Try again when that program has finished with it.")
                       .arg(file),
                   ui::vbExclamation);
}

void frmVemo::rememberListing()
{
    listed_ = Listed{cmbGroup->currentText(), Module1().strCurrentLetter, TabVemo->currentIndex()};
}

} // namespace numora
