#include "ui/Fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace vel {

void installDesignFonts() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // Wine's Tahoma and MS Sans Serif cover Cyrillic and match the originals' metrics.
    const QDir wine(QStringLiteral("/usr/share/wine/fonts"));
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"}) {
        const QString path = wine.filePath(QString::fromLatin1(file));
        if (QFile::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont displayFont(const QString& name, double pointSize, bool bold) {
    QFont f(name);
    if (pointSize > 0)
        f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

} // namespace vel
