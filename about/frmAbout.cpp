#include "about/frmAbout.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>

#include <algorithm>
#include <array>

#include "platform/core/Error.h"
#include "platform/process/Tasks.h"
#include "platform/ui/Decorations.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Icons.h"
#include "platform/ui/MsgBox.h"
#include "platform/ui/Twips.h"

Q_LOGGING_CATEGORY(lcAbout, "numora.about", QtWarningMsg)

namespace numora {
namespace {

// The designed client area.
constexpr int kClientWidthTwips = 5730;
constexpr int kClientHeightTwips = 2985;

// Where the installation records the system information tool: its full
// path, or else the folder that holds it.
constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kSysInfoValue[] = "PATH";
constexpr char kSysInfoFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kSysInfoFolderValue[] = "MSINFO";
constexpr char kSysInfoProgram[] = "MSINFO32.EXE";

constexpr registry::DWORD kValueBufferSize = 1024;

// A line of a separator, of its colour and thickness in pixels.
QWidget* line(QWidget* parent, int index, int fromTwips, int atTwips, int toTwips, int pixels, const QColor& colour)
{
    QRect place = ui::twipsRect(fromTwips, atTwips, toTwips - fromTwips, 0);
    place.setHeight(pixels);
    QWidget* w = ui::decoration(parent, QStringLiteral("Line1"), place, colour);
    w->setProperty("index", index);
    return w;
}

QLabel* picture(QWidget* parent, const char* name, const QRect& place)
{
    QLabel* image = ui::label(parent, name, QString(), place);
    image->setPixmap(ui::icon(ui::Picture::AppIcon).pixmap(32, 32));
    image->setScaledContents(true);
    return image;
}

} // namespace

frmAbout::frmAbout() : Form(nullptr)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Numora"));
    setWindowIcon(ui::icon(ui::Picture::AppIcon));
    setModal(false);
    setFixedSize(ui::twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());

    using ui::twipsRect;
    Image2 = picture(this, "Image2", twipsRect(120, 120, 720, 960));
    lblTitle = ui::label(this, "lblTitle", QStringLiteral("Application Title"), twipsRect(1050, 240, 3885, 480));
    lblTitle->setFont(ui::designFont(QStringLiteral("MS Sans Serif"), 12, true));
    lblDescription =
        ui::label(this, "lblDescription", QStringLiteral("App Description"), twipsRect(1050, 840, 3885, 810));
    lblDescription->setWordWrap(true);
    Image1 = picture(this, "Image1", twipsRect(4920, 240, 600, 825));

    // An etched separator: the grey line with a white one just under it.
    Line1[1] = line(this, 1, 90, 1845, 5654, 1, QColor(128, 128, 128));
    Line1[0] = line(this, 0, 105, 1860, 5654, 2, Qt::white);

    lblDisclaimer = ui::label(this, "lblDisclaimer", QStringLiteral("Warning: ..."), twipsRect(255, 2025, 3870, 825));
    lblDisclaimer->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4245, 2025, 1260, 345));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipsRect(4260, 2475, 1245, 345));
    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

frmAbout::~frmAbout() = default;

bool frmAbout::Form_Load()
{
    const QString title = ui::appTitle();
    setWindowTitle(QStringLiteral("About ") + title);
    lblTitle->setText(QStringLiteral("%1 %2.%3.%4")
                          .arg(title)
                          .arg(NUMORA_VERSION_MAJOR)
                          .arg(NUMORA_VERSION_MINOR)
                          .arg(NUMORA_VERSION_PATCH));
    lblDescription->setText(
        QStringLiteral("The Numora is a smalle program to create and handle personal\\work phone cards."));
    lblDisclaimer->setText(
        QStringLiteral("Warning: Numora comes as it is, without any warranty; keep a copy of your directory file."));
    return true;
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::reject() { cmdOK_Click(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo()
{
    using registry::HKEY_LOCAL_MACHINE;
    try {
        QString path;
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QLatin1String(kSysInfoValue), path)) {
            QString folder;
            if (!GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoFolderKey), QLatin1String(kSysInfoFolderValue),
                             folder))
                throw Error(53, "the installation records no system information tool");
            path = QDir::cleanPath(folder + QLatin1Char('/') + QLatin1String(kSysInfoProgram));
            if (!QFileInfo(path).isFile())
                throw Error(53, QStringLiteral("no %1").arg(path).toStdString());
        }
        process::Shell(path);
        return;
    } catch (const Error& e) {
        qCDebug(lcAbout) << "no system information tool to start:" << e.description().c_str();
    }
    ui::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), ui::vbOKOnly, ui::appTitle());
}

bool frmAbout::GetKeyValue(registry::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    using namespace registry;
    // The key is opened with all access rights (read, write, create, notify): one that exists but cannot
    // be opened so (a read-only key, or a hive the user may not change)
    // counts as missing, and the caller says the tool is unavailable.
    constexpr REGSAM kAllAccess = 0x2003F;
    HKEY key = 0;
    if (RegOpenKeyExA(KeyRoot, KeyName.toUtf8().constData(), 0, kAllAccess, &key) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    std::array<char, kValueBufferSize> buffer{};
    DWORD size = kValueBufferSize;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, SubKeyRef.toUtf8().constData(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(key);
        return false;
    }
    // A text counts its closing NUL.
    const qsizetype length = size > 0 && buffer[size - 1] == '\0' ? size - 1 : size;
    if (type == REG_SZ) {
        KeyVal = QString::fromUtf8(buffer.data(), length);
    } else if (type == REG_DWORD) {
        // The number as stored, lowest byte first, in decimal.
        quint32 number = 0;
        for (DWORD i = std::min<DWORD>(size, 4); i > 0; --i)
            number = (number << 8) | static_cast<unsigned char>(buffer[i - 1]);
        KeyVal = QString::number(number);
    }
    RegCloseKey(key);
    return true;
}

} // namespace numora
