#include "AppFonts.h"

#include <QFile>
#include <QFontDatabase>

void AppFonts::setUp()
{
    // Fonts are loaded into the application once, however often the
    // windows are made again.
    static bool done = false;
    if (done)
        return;
    done = true;
    // Debian's fonts-wine carries metric-compatible Tahoma and MS Sans Serif
    // outside fontconfig's folders; the program loads them itself.
    for (const char *file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
                             "/usr/share/wine/fonts/ms_sans_serif.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
    const QStringList families = QFontDatabase::families();
    auto substitute = [&](const QString &family, const QStringList &candidates) {
        if (families.contains(family))
            return;
        QStringList present;
        for (const QString &c : candidates)
            if (families.contains(c))
                present << c;
        if (!present.isEmpty())
            QFont::insertSubstitutions(family, present);
    };
    // DejaVu Sans descends from Bitstream Vera, drawn like Verdana.
    substitute(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    substitute(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    substitute(QStringLiteral("MS Sans Serif"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QIcon AppFonts::applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 72, 96, 128})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    return icon;
}
