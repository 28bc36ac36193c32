#pragma once
// A Windows folder of the test's choosing. Installed for its lifetime.

#include "platform/win/WindowsFolder.h"

#include <utility>

namespace numora::test {

class FakeWindowsFolder : public win::WindowsFolder {
public:
    explicit FakeWindowsFolder(QString path)
        : path_(std::move(path)), installed_(win::windowsFolderSource().install(*this))
    {
    }

    QString path() const override { return path_; }

private:
    QString path_;
    Seam<win::WindowsFolder>::Installed installed_;
};

} // namespace numora::test
