#include "tools/dialer/DialerWindow.h"

#include "tools/dialer/NumberBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

Q_LOGGING_CATEGORY(lcDialer, "numora.dialer", QtWarningMsg)

namespace numora::dialer {
namespace {

const QString kTelType = QStringLiteral("x-scheme-handler/tel");

// Whether an ini-style desktop file gives the tel: type a program in one of
// the named sections.
bool fileNamesTelProgram(const QString& path, const QStringList& sections)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    QString section;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            section = line;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || !sections.contains(section))
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == kTelType && !value.isEmpty())
            return true;
        if (key == QLatin1String("MimeType") && value.split(QLatin1Char(';')).contains(kTelType))
            return true;
    }
    return false;
}

} // namespace

bool desktopTakesTelLinks()
{
    const QStringList associations{QStringLiteral("[Default Applications]"), QStringLiteral("[Added Associations]")};
    QStringList mimeApps;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        mimeApps << dir + QStringLiteral("/mimeapps.list");
    const QStringList appDirs = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& dir : appDirs)
        mimeApps << dir + QStringLiteral("/mimeapps.list");
    for (const QString& path : mimeApps)
        if (fileNamesTelProgram(path, associations))
            return true;

    for (const QString& dir : appDirs) {
        if (fileNamesTelProgram(dir + QStringLiteral("/mimeinfo.cache"), {QStringLiteral("[MIME Cache]")}))
            return true;
        QDirIterator files(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            if (fileNamesTelProgram(files.next(), {QStringLiteral("[Desktop Entry]")}))
                return true;
    }
    return false;
}

QString telLink(const QString& number)
{
    QString compact = number;
    compact.remove(QRegularExpression(QStringLiteral("\\s")));
    if (!compact.contains(QRegularExpression(QStringLiteral("\\d"))))
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("tel"));
    url.setPath(compact, QUrl::DecodedMode);
    return url.toString(QUrl::FullyEncoded);
}

DialerWindow::DialerWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Dialer"));
    setWindowTitle(QStringLiteral("Dialer"));

    auto* numberLabel = new QLabel(QStringLiteral("&Number:"), this);
    txtNumber = new QLineEdit(this);
    txtNumber->setObjectName(QStringLiteral("txtNumber"));
    txtNumber->setMaxLength(kNumberLength);
    txtNumber->setMinimumWidth(220);
    numberLabel->setBuddy(txtNumber);
    btnDial = new QPushButton(QStringLiteral("&Dial"), this);
    btnDial->setObjectName(QStringLiteral("btnDial"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    lblStatus->setMinimumHeight(2 * lblStatus->fontMetrics().lineSpacing());

    auto* layout = new QGridLayout(this);
    layout->addWidget(numberLabel, 0, 0);
    layout->addWidget(txtNumber, 0, 1);
    layout->addWidget(btnDial, 0, 2);
    layout->addWidget(lblStatus, 1, 0, 1, 3);

    connect(btnDial, &QPushButton::clicked, this, &DialerWindow::btnDial_Click);
    connect(txtNumber, &QLineEdit::returnPressed, this, &DialerWindow::btnDial_Click);
    // Typing into the window goes to the number box.
    txtNumber->setFocus();
    lblStatus->setText(QStringLiteral("Type a number, then Dial."));
}

void DialerWindow::btnDial_Click()
{
    const QString number = txtNumber->text().trimmed();
    const QString link = telLink(number);
    if (link.isEmpty()) {
        say(QStringLiteral("There is no telephone number to dial."));
        return;
    }
    if (!desktopTakesTelLinks() || !QDesktopServices::openUrl(QUrl(link))) {
        say(QStringLiteral("No program here takes tel: links; dial %1 on your phone.").arg(number));
        return;
    }
    say(QStringLiteral("%1 was handed to your phone program.").arg(link));
}

void DialerWindow::say(const QString& status)
{
    lblStatus->setText(status);
    qCDebug(lcDialer).noquote() << "told the user:" << status;
}

} // namespace numora::dialer
