#include "core/Result.h"

namespace vel {

QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    text.replace(u'\t', u' ');
    return text;
}

QString bilingualLine(const QString& bulgarian, const QString& english) {
    if (english.isEmpty())
        return oneLine(bulgarian);
    return oneLine(bulgarian) + QStringLiteral(" / ") + oneLine(english);
}

const Failure& noFailure() {
    static const Failure none;
    return none;
}

QString Failure::bilingual() const {
    return bilingualLine(message, english);
}

} // namespace vel
