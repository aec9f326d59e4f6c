#include "core/clock/Aphorisms.h"

#include "core/Assets.h"

#include <QFile>
#include <QtDebug>

namespace vel {

namespace {

// One aphorism per line; nothing is trimmed, since some texts end with a space of their own.
QStringList loadAphorisms() {
    initAssets();
    QFile file(QStringLiteral(":/aphorisms.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("aphorisms: the compiled-in list is missing");
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the newline that ends the last line
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1); // the file was saved with CR LF
    }
    if (lines.size() != kAphorismCount)
        qWarning() << "aphorisms: expected" << kAphorismCount << "texts, found" << lines.size();
    return lines;
}

} // namespace

const QStringList& aphorisms() {
    static const QStringList table = loadAphorisms();
    return table;
}

QString aphorism(int index1to88) {
    const QStringList& table = aphorisms();
    if (index1to88 < 1 || index1to88 > table.size())
        return {};
    return table.at(index1to88 - 1);
}

std::optional<int> aphorismIndexFromText(const QString& text4) {
    bool ok = false;
    const int index = text4.trimmed().toInt(&ok);
    if (!ok || index < 1 || index > kAphorismSlots)
        return std::nullopt;
    return index;
}

QString aphorismForIndexText(const QString& text4) {
    return aphorism(aphorismIndexFromText(text4).value_or(kAphorismFallbackIndex));
}

} // namespace vel
