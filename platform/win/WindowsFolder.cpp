#include "platform/win/WindowsFolder.h"

#include <QByteArray>

#include <cstdlib>
#include <cstring>

namespace numora::win {
namespace {

class RealWindowsFolder final : public WindowsFolder {
public:
    QString path() const override
    {
        const char* env = std::getenv("WINDIR");
        QString folder = env && *env ? QString::fromLocal8Bit(env) : QString::fromLatin1(kDefaultWindowsFolder);
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        return folder;
    }
};

} // namespace

Seam<WindowsFolder>& windowsFolderSource()
{
    static RealWindowsFolder real;
    static Seam<WindowsFolder> seam(real);
    return seam;
}

unsigned GetWindowsDirectoryA(char* buffer, unsigned size)
{
    const QByteArray text = windowsFolderSource()->path().toUtf8();
    const auto length = static_cast<unsigned>(text.size());
    if (!buffer || size <= length)
        return length + 1;
    std::memcpy(buffer, text.constData(), length);
    buffer[length] = '\0';
    return length;
}

QString windowsFolder()
{
    // Start with the classic 255 characters and grow the buffer when the
    // folder is longer, so a long folder is never cut or read past its end.
    QByteArray buffer(255, ' ');
    for (;;) {
        const unsigned n = GetWindowsDirectoryA(buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < static_cast<unsigned>(buffer.size()))
            return QString::fromUtf8(buffer.constData(), static_cast<qsizetype>(n));
        buffer.resize(static_cast<qsizetype>(n));
    }
}

} // namespace numora::win
