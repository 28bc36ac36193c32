// Stands in for a program that text is typed into: one text box whose text is
// written to the file named on the command line after every change.
#include <QApplication>
#include <QLineEdit>
#include <QSaveFile>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QLineEdit box;
    box.setWindowTitle(QStringLiteral("keysink"));
    QObject::connect(&box, &QLineEdit::textChanged, [&out](const QString& text) {
        QSaveFile file(out);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(text.toUtf8());
            file.commit();
        }
    });
    box.show();
    return QApplication::exec();
}
