#pragma once
// A book's cover as the library keeps it: a small picture inside the work file.

#include <QByteArray>
#include <QString>

namespace vel {

inline constexpr qsizetype kMaxCoverBytes = 100 * 1024;

// The picture scaled to fit a 300 x 450 box and stored as JPEG of at most kMaxCoverBytes; empty when the
// bytes are not a picture Qt can read. Reentrant.
QByteArray coverThumbnail(const QByteArray& image);

// "Под игото #1", the series alone without a number, empty without a series.
QString seriesLabel(const QString& series, const QString& number);

} // namespace vel
