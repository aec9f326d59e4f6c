#include "ui/Design.h"

#include "core/Assets.h"
#include "core/storage/Colors.h"
#include "ui/Controls.h"
#include "core/book/Fonts.h"
#include "ui/Window.h"

#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace vel {

void setDesignFont(QWidget* w, const QString& name, double points, bool bold) {
    w->setFont(displayFont(name, points, bold));
}

void setBackColor(QWidget* w, std::int32_t colorNumber) {
    QPalette pal = w->palette();
    const QColor c = colorFromNumber(colorNumber);
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Base, c);
    pal.setColor(QPalette::Button, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setForeColor(QWidget* w, std::int32_t colorNumber) {
    QPalette pal = w->palette();
    const QColor c = colorFromNumber(colorNumber);
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
    pal.setColor(QPalette::ButtonText, c);
    w->setPalette(pal);
}

void setTransparent(QWidget* w) {
    w->setAutoFillBackground(false);
    w->setAttribute(Qt::WA_TranslucentBackground);
}

QTimer* makeTimer(Window& window, const QString& name, int intervalMs, bool enabled) {
    auto* t = window.add(new QTimer(&window), ControlKind::Timer, name);
    t->setInterval(intervalMs);
    if (enabled)
        t->start();
    return t;
}

QPixmap designPicture(const QString& name, QSize size, std::int32_t bandColor) {
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height());
    initAssets();
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    pm = QPixmap(size);
    const QString svg = QStringLiteral(":/pictures/") + name + QStringLiteral(".svg");
    const QString png = QStringLiteral(":/pictures/") + name + QStringLiteral(".png");
    if (QFile::exists(svg)) {
        pm.fill(Qt::transparent);
        QSvgRenderer renderer(svg);
        QPainter p(&pm);
        renderer.render(&p);
    } else if (QFile::exists(png)) {
        pm = QPixmap(png).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        // A grey plate with a coloured band: the shape every picture button has.
        pm.fill(QColor(0xB8, 0xB8, 0xB8));
        QPainter p(&pm);
        const int band = size.height() / 3;
        p.fillRect(0, (size.height() - band) / 2, size.width(), band, colorFromNumber(bandColor));
        p.setPen(QColor(0x70, 0x70, 0x70));
        p.drawRect(0, 0, size.width() - 1, size.height() - 1);
    }
    QPixmapCache::insert(key, pm);
    return pm;
}

} // namespace vel
