#pragma once
// The property frame: a dialog with one tab per property page (captioned by
// the page), OK, Cancel and Apply. Apply is available while a page is dirty;
// Apply and OK apply every dirty page, and OK closes the frame when all of
// them took their changes. A page that refuses its changes stays dirty and
// the frame says so under the tabs and stays open.

#include "platform/com/ComSupport.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTabWidget;

namespace numora::com {

class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    // The pages are created from their classes and shown on objects.
    PropertyFrame(QWidget* owner, const QString& caption, const std::vector<IUnknown*>& objects,
                  const std::vector<CLSID>& pages, LCID locale);
    ~PropertyFrame() override;

    QTabWidget* tabs() const { return tabs_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* applyButton() const { return apply_; }
    QLabel* statusLabel() const { return status_; }

    // Applies every dirty page; false when one refused.
    bool applyPages();
    // A page's site reports a change of its state.
    void pageStatusChanged();

private:
    struct Page {
        ComPtr<IPropertyPage> page;
        ComPtr<IPropertyPageSite> site;
        QString title;
    };

    QTabWidget* tabs_;
    QLabel* status_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* apply_;
    std::vector<Page> pages_;
};

} // namespace numora::com
