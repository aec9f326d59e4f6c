#include "core/book/Fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace vel {

void installDesignFonts() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // Wine's Tahoma covers Cyrillic and matches the original's metrics. Its MS Sans Serif is a small
    // bitmap-like face without bold, so that name is drawn in Tahoma, which it closely resembles.
    const QDir wine(QStringLiteral("/usr/share/wine/fonts"));
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = wine.filePath(QString::fromLatin1(file));
        if (QFile::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont displayFont(const QString& name, double pointSize, bool bold) {
    QFont f(name);
    if (pointSize > 0)
        f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

} // namespace vel
