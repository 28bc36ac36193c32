#include "platform/com/ControlHost.h"

#include "platform/com/ComSupport.h"
#include "platform/com/WindowDispatch.h"
#include "platform/core/Error.h"

#include <QLoggingCategory>
#include <QWidget>

namespace numora::com {
namespace {

Q_LOGGING_CATEGORY(lcHost, "numora.com", QtWarningMsg)

class DispatchControl final : public HostedControl {
public:
    DispatchControl(ComPtr<IDispatch> control, ComPtr<IObjectWithSite> withSite)
        : control_(std::move(control)), withSite_(std::move(withSite))
    {
    }
    ~DispatchControl() override
    {
        if (withSite_)
            withSite_->SetSite(nullptr);
    }

    void Invoke(DISPID dispId, const std::vector<QString>& textArgs) override
    {
        std::vector<Variant> args;
        for (const QString& text : textArgs)
            args.push_back(Variant::text(text));
        try {
            invoke(control_.get(), dispId, DISPATCH_METHOD, args);
        } catch (const ComError& e) {
            throw Error(e.number(), e.description.toStdString());
        }
    }

    IDispatch* object() const override { return control_.get(); }

private:
    ComPtr<IDispatch> control_;
    ComPtr<IObjectWithSite> withSite_;
};

class RealControlFactory final : public ControlFactory {
public:
    std::unique_ptr<HostedControl> create(const std::string& progId, QWidget* container) override
    {
        const QString name = QString::fromStdString(progId);
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(name.utf16()), &clsid);
        ComPtr<IDispatch> control;
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(&clsid, nullptr, CLSCTX_INPROC_SERVER, &IID_IDispatch, control.putVoid());
        if (FAILED(hr)) {
            qCInfo(lcHost) << "control" << name << "not created:" << describe(hr);
            return nullptr;
        }
        auto withSite = control.as<IObjectWithSite>(IID_IObjectWithSite);
        if (withSite && container) {
            const auto site = ComPtr<IDispatch>::adopt(createWindowDispatch(container->window()));
            withSite->SetSite(site.get());
        }
        return std::make_unique<DispatchControl>(std::move(control), std::move(withSite));
    }
};

} // namespace

Seam<ControlFactory>& controlFactory()
{
    static RealControlFactory real;
    static Seam<ControlFactory> seam(real);
    return seam;
}

std::unique_ptr<HostedControl> createControl(const std::string& progId, QWidget* container)
{
    return controlFactory()->create(progId, container);
}

bool showPropertyPages(HostedControl& control, QWidget* owner, const QString& caption)
{
    const auto pages = ComPtr<IDispatch>(control.object()).as<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    CAUUID list{0, nullptr};
    if (!pages || FAILED(pages->GetPages(&list)))
        return false;
    IUnknown* objects[] = {control.object()};
    const HRESULT hr = list.cElems
                           ? OleCreatePropertyFrame(owner, 0, 0, reinterpret_cast<LPCOLESTR>(caption.utf16()), 1,
                                                    objects, list.cElems, list.pElems, LOCALE_USER_DEFAULT, 0, nullptr)
                           : E_FAIL;
    CoTaskMemFree(list.pElems);
    return SUCCEEDED(hr);
}

} // namespace numora::com
