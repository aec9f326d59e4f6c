#pragma once
// What the book window's parts say to the reader.

#include <QColor>
#include <QString>
#include <QStringList>

namespace vel::book {

inline const QString kMissingTitle = QStringLiteral("ВНИМАНИЕ! НАЛИЧИЕ НА НЕСЪОТВЕТСТВИЕ! ");
inline const QStringList kMissingText = {
    QStringLiteral("Съжалявам, но не намерих търсения файл."),
    QStringLiteral("Възможни са следните варианти:"),
    QStringLiteral("файла е изтрит, преименуван или преместен."),
    QStringLiteral("Проверете посочените възможности."),
    QStringLiteral("За да продължи натиснете ОК!"),
};

// The progress bar's words while the pages are laid out.
inline const QString kLayingOut = QStringLiteral("Нареждане на страниците…");

inline const QString kWaitLeft = QStringLiteral("\r\n\r\n                       МОЛЯ ИЗЧАКАЙТЕ !");
inline const QString kWaitRight = QStringLiteral("\r\n\r\nГОЛЕМИТЕ ПРОИЗВЕДЕНИЯ ОТНЕМАТ ВРЕМЕ!");

inline const QString kAttention = QStringLiteral("ВНИМАНИЕ !");
inline const QString kNoSpeech = QStringLiteral("Четенето на глас не може да започне:");
// The word being heard: a marker's yellow that reads on every page colour.
inline const QColor kSpokenWord(0xFF, 0xD8, 0x4A);
inline const QStringList kTooLong = {
    QStringLiteral("Произведението е твърде дълго за една книга:"),
    QStringLiteral("с този шрифт то би заело повече от 32767 страници."),
    QStringLiteral("Нищо не е записано; текстът остава в основния прозорец."),
    QStringLiteral("Изберете по-малък шрифт или разделете текста на части."),
};
inline const QStringList kUnreadable = {
    QStringLiteral("Произведението не може да бъде прочетено докрай."),
    QStringLiteral("Файлът му остава непроменен."),
};

} // namespace vel::book
