#include "ui/Platform.h"

namespace vel {

QString qtFileFilter(const QString& filter) {
    // "Text Files (*.txt)|*.txt": the description, then its patterns; Qt reads the patterns from parentheses.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString inParentheses = QLatin1Char('(') + patterns + QLatin1Char(')');
        qtFilters << (parts[i].contains(inParentheses) ? parts[i]
                                                       : parts[i] + QLatin1Char(' ') + inParentheses);
    }
    return qtFilters.join(QStringLiteral(";;"));
}

float UnseededRandom::next() {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<float>(state_) / 16777216.0f;
}

QStringList Platform::openFilesDialog(const QString& title, const QString& filter) {
    const std::optional<QString> one = openFileDialog(title, filter);
    return one ? QStringList{*one} : QStringList();
}

} // namespace vel
