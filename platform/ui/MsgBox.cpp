#include "platform/ui/MsgBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace numora::ui {
namespace {

QString g_appTitle = QStringLiteral("vemo1");

class RealMessageBoxes final : public MessageBoxes {
public:
    int show(const MessageRequest& request) override
    {
        QMessageBox box;
        box.setObjectName(QStringLiteral("MsgBox"));
        box.setWindowTitle(request.title);
        QString text = request.text;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        // Shown as written: a name in a message (a folder's, a card's) is
        // never taken for markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        switch (iconOf(request.style)) {
        case vbCritical: box.setIcon(QMessageBox::Critical); break;
        case vbQuestion: box.setIcon(QMessageBox::Question); break;
        case vbExclamation: box.setIcon(QMessageBox::Warning); break;
        case vbInformation: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
        }
        struct Choice {
            QMessageBox::StandardButton button;
            int result;
        };
        std::vector<Choice> choices;
        switch (buttonsOf(request.style)) {
        case vbOKCancel: choices = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
        case vbAbortRetryIgnore:
            choices = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
            break;
        case vbYesNoCancel:
            choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
            break;
        case vbYesNo: choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
        case vbRetryCancel: choices = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
        default: choices = {{QMessageBox::Ok, vbOK}}; break;
        }
        QMessageBox::StandardButtons buttons;
        for (const Choice& c : choices)
            buttons |= c.button;
        box.setStandardButtons(buttons);
        const size_t defaultIndex = static_cast<size_t>((request.style & 0xF00) >> 8);
        if (defaultIndex < choices.size())
            box.setDefaultButton(choices[defaultIndex].button);
        const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const Choice& c : choices)
            if (c.button == clicked)
                return c.result;
        // Closing the box counts as its cancel button where it has one.
        for (const Choice& c : choices)
            if (c.result == vbCancel || c.result == vbNo)
                return c.result;
        return choices.front().result;
    }
};

} // namespace

Seam<MessageBoxes>& messageBoxes()
{
    static RealMessageBoxes real;
    static Seam<MessageBoxes> seam(real);
    return seam;
}

int MsgBox(const QString& prompt, int style, const QString& title)
{
    MessageRequest request{prompt, style, title.isEmpty() ? g_appTitle : title};
    return messageBoxes()->show(request);
}

QString appTitle() { return g_appTitle; }
void setAppTitle(const QString& title) { g_appTitle = title; }

} // namespace numora::ui
