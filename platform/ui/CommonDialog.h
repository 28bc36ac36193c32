#pragma once
// The common file dialog, behind a seam: the real backing is QFileDialog,
// tests install a scripted fake that records what was asked and answers it.
//
// A command sets the dialog's file name, filter and filter index and shows it
// for opening or for saving; afterwards FileName holds the chosen path. The
// filter is written as pairs "Description|pattern", joined by '|'
// ("Backup Database (*.old)|*.old"). Cancelling is told by the result, not
// by an error, and leaves FileName as it was set.

#include <QString>
#include <QWidget>

#include <optional>

#include "platform/core/Seam.h"

namespace numora::ui {

struct FileDialogRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString fileName;    // the name offered at first
    QString filter;      // "Description|pattern|..."
    int filterIndex = 1; // the pair chosen at first, counted from 1
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen path, absolute; nullopt when the user cancelled. A dialog
    // that cannot be shown throws numora::Error.
    virtual std::optional<QString> show(const FileDialogRequest& request, QWidget* parent) = 0;
};

// The backing the dialogs are shown through: QFileDialog unless a test installed another.
Seam<FileDialogs>& fileDialogs();

// The filter pairs as QFileDialog takes them: "Description (*.old);;...".
QString qtNameFilters(const QString& filter);

class CommonDialog {
public:
    explicit CommonDialog(QWidget* parent = nullptr) : parent_(parent) {}

    QString FileName;
    QString Filter;
    int FilterIndex = 1;

    // False when the user cancelled; FileName then keeps what it was.
    bool ShowOpen() { return show(FileDialogRequest::Open); }
    bool ShowSave() { return show(FileDialogRequest::Save); }

private:
    bool show(FileDialogRequest::Kind kind);
    QWidget* parent_;
};

} // namespace numora::ui
