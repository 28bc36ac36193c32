// The control's property pages in the host's property frame: what they show,
// when Apply is offered, and what applying stores.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <optional>

#include "platform/com/PropertyFrame.h"
#include "tests/placement/KwendoFixture.h"

namespace numora::test {
namespace {

using com::ComPtr;
using com::Variant;

// The pages the control offers, in order.
std::vector<CLSID> pagesOf(IDispatch* control)
{
    CAUUID list{0, nullptr};
    const auto pages = ComPtr<IDispatch>(control).as<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    EXPECT_TRUE(pages && pages->GetPages(&list) == S_OK);
    std::vector<CLSID> out(list.pElems, list.pElems + list.cElems);
    CoTaskMemFree(list.pElems);
    return out;
}

QString labelText(const QWidget* page, const char* name)
{
    const auto* label = page->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

TEST_F(KwendoTest, SettingPageStoresTheLeadingNumberOfItsTextOnApply)
{
    auto control = createControl(nullptr);
    initReg(control.get(), QStringLiteral(" "), QStringLiteral(" ")); // not named yet
    const std::vector<CLSID> pages = pagesOf(control.get());
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(IsEqualGUID(&pages[0], &CLSID_prpSetting));
    EXPECT_TRUE(IsEqualGUID(&pages[1], &CLSID_prpAbout));

    com::PropertyFrame frame(nullptr, QStringLiteral("Ravelle1 Properties"), {control.get()}, pages,
                             LOCALE_USER_DEFAULT);
    frame.show();
    ASSERT_EQ(frame.tabs()->count(), 2);
    EXPECT_EQ(frame.tabs()->tabText(0), QStringLiteral("Setting Options"));
    EXPECT_EQ(frame.tabs()->tabText(1), QStringLiteral("About Control"));
    const QWidget* page = frame.findChild<QWidget*>(QStringLiteral("prpSetting"));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(labelText(page, "Label1"), QStringLiteral("Appplication Name:"));
    EXPECT_EQ(labelText(page, "Label3"), QStringLiteral("Appplication Section:"));
    EXPECT_EQ(labelText(page, "lblAppName"), QString());
    EXPECT_EQ(labelText(page, "lblAppSection"), QString());
    auto* box = page->findChild<QLineEdit*>(QStringLiteral("txtIntervalTime"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("500"));
    EXPECT_FALSE(frame.applyButton()->isEnabled());

    // Typing the text back as it was still counts as a change.
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, QStringLiteral("0"));
    EXPECT_EQ(box->text(), QStringLiteral("500"));
    EXPECT_TRUE(frame.applyButton()->isEnabled());

    struct Case {
        const char* text;
        std::optional<LONG> interval; // none: refused, the interval stays
    };
    const Case cases[] = {
        {"123 abc", 123},    {"abc", 0},      {"1e3", 1000},        {" 2.5", 2},
        {"3.5", 4},          {"1 000", 1000}, {"-7ms", -7},         {"1.5D+2x", 150},
        {"99999999999", {}}, {"1e999", {}},   {"2147483647.5", {}}, {"2147483647.4", 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LONG before = call(control.get(), DISPID_RAVELLE_GETINTERVAL).toI4();
        box->setText(QLatin1String(c.text));
        frame.applyButton()->click();
        EXPECT_EQ(call(control.get(), DISPID_RAVELLE_GETINTERVAL).toI4(), c.interval.value_or(before));
        // A refused text keeps the page changed and the frame says why.
        EXPECT_EQ(frame.applyButton()->isEnabled(), !c.interval);
        EXPECT_EQ(frame.statusLabel()->text().isEmpty(), c.interval.has_value());
    }

    // OK keeps the frame open while the page refuses, and closes it after.
    box->setText(QStringLiteral("1e12"));
    frame.okButton()->click();
    EXPECT_TRUE(frame.isVisible());
    box->setText(QStringLiteral("750"));
    frame.okButton()->click();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), QDialog::Accepted);
    EXPECT_EQ(call(control.get(), DISPID_RAVELLE_GETINTERVAL).toI4(), 750);
}

TEST_F(KwendoTest, AboutPageShowsTheLibraryAndItsApplySaysSo)
{
    auto control = createControl(nullptr);
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(&CLSID_prpAbout, nullptr, CLSCTX_INPROC_SERVER, &IID_IPropertyPage, page.putVoid()),
              S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(com::fromOle(info.pszTitle), QStringLiteral("About Control"));
    CoTaskMemFree(info.pszTitle);

    QWidget parent;
    IUnknown* objects[] = {control.get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page->Activate(&parent, nullptr, true), S_OK);
    const QWidget* shown = parent.findChild<QWidget*>(QStringLiteral("prpAbout"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(labelText(shown, "lblTitle"), QStringLiteral("Kwendo"));
    EXPECT_EQ(labelText(shown, "lblVersion"), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(labelText(shown, "lblDescription"), QStringLiteral("Ravelle Control"));
    EXPECT_TRUE(labelText(shown, "lblDisclaimer").startsWith(QStringLiteral("Warning")));
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);

    QString text, title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start(10);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(text, QStringLiteral("apply about"));
    EXPECT_EQ(title, QStringLiteral("Kwendo"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(page->Deactivate(), S_OK);
}

} // namespace
} // namespace numora::test
