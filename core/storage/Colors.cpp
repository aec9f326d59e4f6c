#include "core/storage/Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace vel {

namespace {

// The system colours a design may name, mapped onto the palette's roles.
QColor systemColor(int index) {
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 0x05:
        return pal.color(QPalette::Base); // window background
    case 0x08:
        return pal.color(QPalette::WindowText); // window text
    case 0x0D:
        return pal.color(QPalette::Highlight);
    case 0x0E:
        return pal.color(QPalette::HighlightedText);
    case 0x11:
        return pal.color(QPalette::Disabled, QPalette::Text);
    case 0x12:
        return pal.color(QPalette::ButtonText);
    case 0x18:
        return pal.color(QPalette::ToolTipBase);
    case 0x17:
        return pal.color(QPalette::ToolTipText);
    case 0x0F: // button face
    default:
        return pal.color(QPalette::Button);
    }
}

} // namespace

QColor colorFromNumber(std::int32_t number) {
    const auto u = static_cast<std::uint32_t>(number);
    if (u & 0x80000000u)
        return systemColor(static_cast<int>(u & 0xFFu));
    return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                  static_cast<int>((u >> 16) & 0xFF));
}

std::int32_t colorToNumber(const QColor& color) {
    const QColor c = color.toRgb();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(c.red()) |
                                     (static_cast<std::uint32_t>(c.green()) << 8) |
                                     (static_cast<std::uint32_t>(c.blue()) << 16));
}

std::optional<std::int32_t> colorNumberFromText(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xFFFFFFFF));
}

QString colorNumberToText(std::int32_t number) {
    return QString::number(number);
}

} // namespace vel
