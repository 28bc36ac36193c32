#pragma once
// The dialer: a number box that takes the number typed into it, and a Dial
// button that hands the number to the desktop as a tel: link, which the
// user's phone-link program (a softphone, a paired phone) then dials.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace numora::dialer {

// Whether the desktop names a program for tel: links: a default or added
// association for x-scheme-handler/tel in a mimeapps.list, an entry in a
// mimeinfo.cache, or an application file that declares the type.
bool desktopTakesTelLinks();

// The tel: link for a number as the user wrote it: blanks, which only group
// the digits, are left out. Empty when the text holds no digit at all.
QString telLink(const QString& number);

class DialerWindow : public QWidget {
    Q_OBJECT
public:
    explicit DialerWindow(QWidget* parent = nullptr);

    QLineEdit* txtNumber = nullptr;
    QPushButton* btnDial = nullptr;
    QLabel* lblStatus = nullptr;

    void btnDial_Click();

private:
    void say(const QString& status);
};

} // namespace numora::dialer
