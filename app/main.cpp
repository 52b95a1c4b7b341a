#include "DMUnit.h"
#include "EDatabaseError.h"
#include "FormatSettings.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ardentry"));
    FormatSettings() = TFormatSettings::fromLocale(QLocale::system());

    QLabel window(QStringLiteral("Ardentry: the books are open."));
    window.setWindowTitle(QStringLiteral("Ardentry"));
    window.setMinimumSize(400, 120);
    window.setAlignment(Qt::AlignCenter);
    try {
        DM = new TDM(&app);
    } catch (const EDatabaseError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Application Error"), e.message());
        return 1;
    }
    window.show();
    return app.exec();
}
