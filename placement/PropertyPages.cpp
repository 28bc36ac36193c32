#include "placement/PropertyPages.h"

#include "placement/Kwendo.h"
#include "placement/PlacementState.h"
#include "platform/com/ComSupport.h"
#include "platform/com/ScreenTwips.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>

#include <charconv>
#include <string>
#include <vector>

namespace numora::placement {
namespace {

using com::ComError;
using com::ComPtr;
using com::Variant;

// The number a text's leading characters spell, read as the classic Val
// reads it: blanks, tabs and line feeds skipped wherever they are, a sign,
// digits with one decimal point, an exponent (E or D) when digits follow it;
// reading stops at the first character that cannot continue the number, and
// a text without a leading number is 0. An exponent too large for any
// number fails as an overflow.
double Val(const QString& text)
{
    std::string s;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n'))
            continue;
        if (c.unicode() > 0x7F)
            break;
        s += static_cast<char>(c.unicode());
    }
    size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number += s[i++];
    const auto digits = [&] {
        size_t n = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++n)
            number += s[i];
        return n;
    };
    size_t mantissa = digits();
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            number += 'e';
            number.append(s, i + 1, j - i - 1);
            i = j;
            digits();
        }
    }
    const char* first = number.c_str();
    if (*first == '+')
        ++first;
    double value = 0;
    const std::from_chars_result r = std::from_chars(first, number.c_str() + number.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small a number is 0; too large a one cannot be read.
        if (number.find("e-") != std::string::npos)
            return 0;
        throw ComError(DISP_E_OVERFLOW);
    }
    return value;
}

// The pages were laid out for a small sans serif face.
QFont pageFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    return font;
}

// A control placed in twips on a page.
template <class W>
W* placed(QWidget* page, const char* name, int left, int top, int width, int height, const QString& text = {})
{
    auto* w = new W(page);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(com::twipsToPixels(left, top, width, height));
    if constexpr (!std::is_same_v<W, QWidget>)
        w->setText(text);
    if constexpr (std::is_same_v<W, QLabel>)
        w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return w;
}

// What both pages share: the page protocol of the frame, the widget the page
// builds when it is activated, and its changed (dirty) state. The page's
// default dual interface has no members of its own.
class PropertyPage : public com::DispatchObject<IPropertyPage, IDispatch> {
public:
    HRESULT SetPageSite(IPropertyPageSite* site) override
    {
        site_ = site;
        return S_OK;
    }

    HRESULT Activate(HWND parent, const RECT* rect, BOOL) override
    {
        return com::guarded([&] {
            delete widget_.data();
            widget_ = new QWidget(static_cast<QWidget*>(parent));
            widget_->setObjectName(name_);
            widget_->setFixedSize(pixelSize());
            widget_->setFont(pageFont());
            build(widget_);
            if (rect)
                widget_->move(rect->left, rect->top);
            return S_OK;
        });
    }

    HRESULT Deactivate() override
    {
        delete widget_.data();
        return S_OK;
    }

    HRESULT GetPageInfo(PROPPAGEINFO* info) override
    {
        if (!info)
            return E_POINTER;
        info->cb = sizeof *info;
        info->pszTitle = com::toTaskString(caption_);
        info->size = SIZE{pixelSize().width(), pixelSize().height()};
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }

    HRESULT SetObjects(ULONG count, IUnknown** objects) override
    {
        if (count && !objects)
            return E_POINTER;
        objects_.assign(objects, objects + count);
        if (count)
            SelectionChanged();
        return S_OK;
    }

    HRESULT Show(UINT show) override
    {
        if (widget_)
            widget_->setVisible(show != SW_HIDE);
        return S_OK;
    }

    HRESULT Move(const RECT* rect) override
    {
        if (!rect)
            return E_POINTER;
        if (widget_)
            widget_->move(rect->left, rect->top);
        return S_OK;
    }

    HRESULT IsPageDirty() override { return changed_ ? S_OK : S_FALSE; }

    HRESULT Apply() override
    {
        return com::guarded([&] {
            ApplyChanges();
            changed_ = false;
            return S_OK;
        });
    }

    HRESULT Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    HRESULT GetIDsOfNames(const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return com::idsOfNames({}, names, count, ids);
    }
    HRESULT Invoke(DISPID, const IID*, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    PropertyPage(const IID& defaultInterface, const char* name, const char* caption, QSize twips)
        : defaultInterface_(defaultInterface), name_(QLatin1String(name)), caption_(QLatin1String(caption)),
          twips_(twips)
    {
    }
    ~PropertyPage() override { delete widget_.data(); }

    void* extraInterface(const IID& iid) override
    {
        return IsEqualGUID(&iid, &defaultInterface_) ? static_cast<IDispatch*>(this) : nullptr;
    }

    // Creates the page's controls on page.
    virtual void build(QWidget* page) = 0;
    virtual void SelectionChanged() {}
    // Stores the page's values; a failure throws ComError and the page stays changed.
    virtual void ApplyChanges() = 0;

    // The page's changed state, which makes the frame offer Apply.
    void setChanged()
    {
        changed_ = true;
        if (site_)
            site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
    QWidget* widget() const { return widget_.data(); }

private:
    QSize pixelSize() const { return com::twipsToPixels(0, 0, twips_.width(), twips_.height()).size(); }

    IID defaultInterface_;
    QString name_;
    QString caption_;
    QSize twips_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IUnknown>> objects_;
    QPointer<QWidget> widget_;
    bool changed_ = false;
};

class prpSetting final : public PropertyPage {
public:
    prpSetting() : PropertyPage(IID__prpSetting, "prpSetting", "Setting Options", QSize(4830, 2175)) {}

private:
    void build(QWidget* page) override
    {
        // Created in tab order: the text box first.
        txtIntervalTime = placed<QLineEdit>(page, "txtIntervalTime", 2040, 1440, 2535, 375);
        Label1 = placed<QLabel>(page, "Label1", 240, 360, 1695, 375, QStringLiteral("Appplication Name:"));
        Label2 = placed<QLabel>(page, "Label2", 240, 1440, 1695, 375, QStringLiteral("Interval Time (msec)"));
        Label3 = placed<QLabel>(page, "Label3", 240, 840, 1695, 375, QStringLiteral("Appplication Section:"));
        lblAppName = placed<QLabel>(page, "lblAppName", 2040, 360, 2535, 375);
        lblAppSection = placed<QLabel>(page, "lblAppSection", 2040, 840, 2535, 375);
        txtIntervalTime->setFocus();
        PropertyPage_Initialize();
        QObject::connect(txtIntervalTime, &QLineEdit::textChanged, page, [this] { txtIntervalTime_Change(); });
    }

    void PropertyPage_Initialize()
    {
        const PlacementState& s = placementState();
        lblAppName->setText(s.AppTitle);
        lblAppSection->setText(s.AppSection);
        txtIntervalTime->setText(Variant::i4(s.SampleInterval).toText());
    }

    // Any change counts, even back to the text the box had.
    void txtIntervalTime_Change() { setChanged(); }

    // The library-wide interval only: a running control's timer keeps its
    // period until SetInterval or a new control.
    void ApplyChanges() override
    {
        if (!widget())
            throw ComError(E_UNEXPECTED);
        const LONG interval = Variant::r8(Val(txtIntervalTime->text())).toI4();
        placementState().SampleInterval = interval;
    }

    QLabel* Label1 = nullptr;
    QLabel* lblAppName = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblAppSection = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtIntervalTime = nullptr;
};

class prpAbout final : public PropertyPage {
public:
    prpAbout() : PropertyPage(IID__prpAbout, "prpAbout", "About Control", QSize(5745, 3255)) {}

private:
    void build(QWidget* page) override
    {
        lblDisclaimer = placed<QLabel>(page, "lblDisclaimer", 285, 2520, 5190, 585, QStringLiteral("Warning: ..."));
        lblVersion = placed<QLabel>(page, "lblVersion", 1320, 780, 3645, 345, QStringLiteral("Version"));
        lblTitle = placed<QLabel>(page, "lblTitle", 1320, 240, 3645, 480, QStringLiteral("Application Title"));
        lblDescription =
            placed<QLabel>(page, "lblDescription", 1320, 1245, 3645, 930, QStringLiteral("App Description"));
        lblDisclaimer->setWordWrap(true);
        lblDescription->setWordWrap(true);
        lblTitle->setFont(boldFont(page->font(), 13.5));
        lblVersion->setFont(boldFont(page->font(), 9.75));

        Image1 = placed<QLabel>(page, "Image1", 240, 360, 720, 840);
        Image1->setPixmap(picture());
        Image1->setScaledContents(true);

        Line1 = placed<QWidget>(page, "Line1", 120, 2325, 5684 - 120, 15);
        Line1->setAutoFillBackground(true);
        QPalette grey = Line1->palette();
        grey.setColor(QPalette::Window, QColor(128, 128, 128));
        Line1->setPalette(grey);

        SelectionChanged(); // the labels are filled when the page is first shown
    }

    void SelectionChanged() override
    {
        if (!widget())
            return;
        lblTitle->setText(QStringLiteral(KWENDO_LIBRARY_NAME));
        lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                                .arg(KWENDO_VERSION_MAJOR)
                                .arg(KWENDO_VERSION_MINOR)
                                .arg(KWENDO_VERSION_REVISION));
        lblDescription->setText(QStringLiteral("Ravelle Control"));
        lblDisclaimer->setText(QStringLiteral(
            "Warning: this control is protected by copyright; copying it without leave is not allowed."));
    }

    void ApplyChanges() override
    {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral(KWENDO_LIBRARY_NAME), QStringLiteral("apply about"),
                        QMessageBox::Ok, widget());
        box.exec();
    }

    static QFont boldFont(QFont font, double points)
    {
        font.setBold(true);
        font.setPointSizeF(points);
        return font;
    }

    // The library's own 16 x 16 picture: a window with a purple title bar.
    static QPixmap picture()
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::white);
        QPainter p(&pixmap);
        p.setPen(QColor(64, 64, 64));
        p.drawRect(1, 2, 13, 11);
        p.fillRect(2, 3, 12, 3, QColor(128, 0, 128));
        return pixmap;
    }

    QLabel* Image1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QWidget* Line1 = nullptr;
    QLabel* lblDisclaimer = nullptr;
};

} // namespace

HRESULT createPrpSetting(const IID* riid, void** ppv) { return com::createObject<prpSetting>(riid, ppv); }
HRESULT createPrpAbout(const IID* riid, void** ppv) { return com::createObject<prpAbout>(riid, ppv); }

} // namespace numora::placement
