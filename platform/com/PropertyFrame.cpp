#include "platform/com/PropertyFrame.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace numora::com {
namespace {

Q_LOGGING_CATEGORY(lcPropertyFrame, "numora.com", QtWarningMsg)

// What a page knows of its frame; it outlives the frame when a page keeps it.
class PageSite final : public ComObject<IPropertyPageSite> {
public:
    PageSite(PropertyFrame* frame, LCID locale) : frame_(frame), locale_(locale) {}

    HRESULT OnStatusChange(DWORD) override
    {
        if (frame_)
            frame_->pageStatusChanged();
        return S_OK;
    }
    HRESULT GetLocaleID(LCID* locale) override
    {
        if (!locale)
            return E_POINTER;
        *locale = locale_;
        return S_OK;
    }
    HRESULT GetPageContainer(IUnknown** container) override
    {
        if (container)
            *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

private:
    QPointer<PropertyFrame> frame_;
    LCID locale_;
};

} // namespace

PropertyFrame::PropertyFrame(QWidget* owner, const QString& caption, const std::vector<IUnknown*>& objects,
                             const std::vector<CLSID>& pages, LCID locale)
    : QDialog(owner), tabs_(new QTabWidget(this)), status_(new QLabel(this))
{
    setObjectName(QStringLiteral("PropertyFrame"));
    setWindowTitle(caption);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    apply_ = buttons->button(QDialogButtonBox::Apply);
    apply_->setEnabled(false);
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (applyPages())
            accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, &PropertyFrame::applyPages);

    std::vector<IUnknown*> shown = objects;
    for (const CLSID& clsid : pages) {
        Page p;
        const HRESULT hr =
            CoCreateInstance(&clsid, nullptr, CLSCTX_INPROC_SERVER, &IID_IPropertyPage, p.page.putVoid());
        if (FAILED(hr)) {
            qCInfo(lcPropertyFrame) << "property page" << guidText(clsid) << "left out:" << describe(hr);
            continue;
        }
        p.site = ComPtr<IPropertyPageSite>::adopt(new PageSite(this, locale));
        p.page->SetPageSite(p.site.get());
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        QSize size(300, 200);
        if (SUCCEEDED(p.page->GetPageInfo(&info))) {
            p.title = fromOle(info.pszTitle);
            size = QSize(info.size.cx, info.size.cy);
            CoTaskMemFree(info.pszTitle);
            CoTaskMemFree(info.pszDocString);
            CoTaskMemFree(info.pszHelpFile);
        }
        p.page->SetObjects(static_cast<ULONG>(shown.size()), shown.data());
        auto* host = new QWidget;
        host->setMinimumSize(size);
        tabs_->addTab(host, p.title);
        const RECT place{0, 0, size.width(), size.height()};
        p.page->Activate(host, &place, true);
        p.page->Show(SW_SHOW);
        pages_.push_back(std::move(p));
    }
}

PropertyFrame::~PropertyFrame()
{
    for (Page& p : pages_) {
        p.page->Deactivate();
        p.page->SetObjects(0, nullptr);
        p.page->SetPageSite(nullptr);
    }
}

bool PropertyFrame::applyPages()
{
    status_->clear();
    bool applied = true;
    for (size_t i = 0; i < pages_.size() && applied; ++i) {
        Page& p = pages_[i];
        if (p.page->IsPageDirty() != S_OK)
            continue;
        const HRESULT hr = p.page->Apply();
        if (FAILED(hr)) {
            status_->setText(tr("The changes on \"%1\" could not be applied: %2").arg(p.title, describe(hr)));
            tabs_->setCurrentIndex(static_cast<int>(i));
            applied = false;
        }
    }
    pageStatusChanged();
    return applied;
}

void PropertyFrame::pageStatusChanged()
{
    bool dirty = false;
    for (const Page& p : pages_)
        dirty = dirty || p.page->IsPageDirty() == S_OK;
    apply_->setEnabled(dirty);
}

} // namespace numora::com

using namespace numora::com;

extern "C" HRESULT OleCreatePropertyFrame(HWND hwndOwner, UINT, UINT, LPCOLESTR lpszCaption, ULONG cObjects,
                                          IUnknown** ppUnk, ULONG cPages, const CLSID* pPageClsID, LCID lcid, DWORD,
                                          void*)
{
    if ((cObjects && !ppUnk) || (cPages && !pPageClsID))
        return E_INVALIDARG;
    return guarded([&] {
        PropertyFrame frame(static_cast<QWidget*>(hwndOwner), fromOle(lpszCaption),
                            std::vector<IUnknown*>(ppUnk, ppUnk + cObjects),
                            std::vector<CLSID>(pPageClsID, pPageClsID + cPages), lcid);
        frame.exec();
        return S_OK;
    });
}
