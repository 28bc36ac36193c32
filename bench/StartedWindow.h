#pragma once
// A started main window for one benchmark (its load step lists the first tab
// of Personal), ended with it.

#include <QApplication>

#include <memory>

#include "mainwin/frmVemo.h"

namespace numora::bench {

class StartedWindow {
public:
    StartedWindow() : w_(std::make_unique<frmVemo>())
    {
        w_->show();
        QApplication::processEvents();
    }
    ~StartedWindow()
    {
        frmVemo::Form_Terminate();
        w_.reset();
        QApplication::processEvents();
    }
    StartedWindow(const StartedWindow&) = delete;
    StartedWindow& operator=(const StartedWindow&) = delete;
    frmVemo& operator*() const { return *w_; }

private:
    std::unique_ptr<frmVemo> w_;
};

} // namespace numora::bench
