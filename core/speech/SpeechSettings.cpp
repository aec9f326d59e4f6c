#include "core/speech/SpeechSettings.h"

#include "core/storage/RawNames.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>

namespace vel {

namespace {

bool plausibleVoiceName(const QString& name) {
    // What espeak-ng accepts as a name: a language or voice file, an optional variant.
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_-]{1,40}(\\+[A-Za-z0-9_-]{1,40})?$"));
    return form.match(name).hasMatch();
}

} // namespace

QString SpeechSettings::filePath(const QString& libraryDir) {
    return QDir(libraryDir).filePath(QStringLiteral("speech.ini"));
}

SpeechSettings SpeechSettings::load(const QString& libraryDir) {
    SpeechSettings s;
    const QSettings file(filePath(libraryDir), QSettings::IniFormat);
    const QString voice = file.value(QStringLiteral("speech/voice")).toString().trimmed();
    if (plausibleVoiceName(voice))
        s.voice = voice;
    bool ok = false;
    const int rate = file.value(QStringLiteral("speech/rate")).toInt(&ok);
    if (ok)
        s.rate = std::clamp(rate, kMinRate, kMaxRate);
    s.panelReading = file.value(QStringLiteral("speech/panelReading"), false).toBool();
    return s;
}

Result<> SpeechSettings::save(const QString& libraryDir) const {
    QSettings file(filePath(libraryDir), QSettings::IniFormat);
    file.setValue(QStringLiteral("speech/voice"), voice);
    file.setValue(QStringLiteral("speech/rate"), rate);
    file.setValue(QStringLiteral("speech/panelReading"), panelReading);
    file.sync();
    if (file.status() != QSettings::NoError)
        return fail(FailureKind::Io,
                    QStringLiteral("Настройките на гласа не могат да бъдат запазени във файла %1.")
                        .arg(shownPath(filePath(libraryDir))));
    return {};
}

} // namespace vel
