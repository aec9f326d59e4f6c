#include "core/catalogue/Cover.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace vel {

namespace {
constexpr QSize kCoverBox{300, 450};
// A cover larger than this is no cover; refusing it keeps a hostile file from eating memory.
constexpr qint64 kMaxPixels = qint64(12000) * 12000;

QByteArray jpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}
} // namespace

QByteArray coverThumbnail(const QByteArray& image) {
    if (image.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(image);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > kMaxPixels)
        return {};
    // The decoder scales as it reads when it can (JPEG does), so a large cover is never whole in memory.
    if (size.width() > kCoverBox.width() || size.height() > kCoverBox.height())
        reader.setScaledSize(size.scaled(kCoverBox, Qt::KeepAspectRatio));
    QImage picture = reader.read();
    if (picture.isNull())
        return {};
    if (picture.width() > kCoverBox.width() || picture.height() > kCoverBox.height())
        picture = picture.scaled(kCoverBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // JPEG has no transparency: transparent parts become white paper.
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
    }
    for (int quality = 85; quality >= 25; quality -= 20) {
        const QByteArray bytes = jpeg(flat, quality);
        if (!bytes.isEmpty() && bytes.size() <= kMaxCoverBytes)
            return bytes;
    }
    // Only a picture full of noise gets here: smaller still.
    const QByteArray bytes = jpeg(flat.scaled(flat.size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation), 25);
    return bytes.size() <= kMaxCoverBytes ? bytes : QByteArray();
}

QString seriesLabel(const QString& series, const QString& number) {
    if (series.isEmpty())
        return {};
    return number.isEmpty() ? series : series + QStringLiteral(" #") + number;
}

} // namespace vel
