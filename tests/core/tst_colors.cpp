// Colour numbers as catalogues and designs store them.
#include "core/storage/Colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QtTest>

using namespace vel;

class TstColors : public QObject {
    Q_OBJECT
private slots:
    void numbersAndText() {
        // Red in the low byte, blue in the third.
        QCOMPARE(colorFromNumber(255), QColor(255, 0, 0));
        QCOMPARE(colorFromNumber(0x00C08040), QColor(0x40, 0x80, 0xC0));
        QCOMPARE(colorToNumber(QColor(0x40, 0x80, 0xC0)), 0x00C08040);
        QCOMPARE(colorToNumber(colorFromNumber(12632256)), 12632256);

        // The top bit names a system colour: taken from the palette, never read as bytes.
        const QPalette pal = QGuiApplication::palette();
        QCOMPARE(colorFromNumber(std::int32_t(0x8000000F)), pal.color(QPalette::Button));
        QCOMPARE(colorFromNumber(std::int32_t(0x80000005)), pal.color(QPalette::Base));
        QCOMPARE(colorFromNumber(std::int32_t(0x80000008)), pal.color(QPalette::WindowText));

        // As text: signed and unsigned spellings of a system colour are the same number.
        QCOMPARE(colorNumberFromText(" 16777215 "), std::optional<std::int32_t>(16777215));
        QCOMPARE(colorNumberFromText("-2147483633"), std::optional<std::int32_t>(0x8000000F));
        QCOMPARE(colorNumberFromText("2147483663"), std::optional<std::int32_t>(0x8000000F));
        QCOMPARE(colorNumberToText(std::int32_t(0x8000000F)), QStringLiteral("-2147483633"));
        for (const char* bad : {"", " ", "бяло", "12.5", "0x10", "1e3", "4294967296", "-2147483649"})
            QVERIFY2(!colorNumberFromText(QString::fromUtf8(bad)), bad);
    }
};

QTEST_MAIN(TstColors)
#include "tst_colors.moc"
