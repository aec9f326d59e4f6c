#include "core/opds/OpdsCatalogues.h"

#include "core/net/Fetch.h"

#include <QDir>
#include <QSettings>
#include <algorithm>

namespace vel {

namespace {

QList<OpdsCatalogue> readersCatalogues(const QSettings& file) {
    QList<OpdsCatalogue> list;
    const int count = std::clamp(file.value(QStringLiteral("catalogues/size")).toInt(), 0, 1000);
    for (int i = 1; i <= count; ++i) {
        const QString key = QStringLiteral("catalogues/%1/").arg(i);
        const QUrl url(file.value(key + QStringLiteral("url")).toString().trimmed(), QUrl::StrictMode);
        QString name = file.value(key + QStringLiteral("name")).toString().simplified();
        if (!isWebUrl(url) || url == defaultCatalogue().url)
            continue;
        if (name.isEmpty())
            name = url.host();
        list << OpdsCatalogue{name, url};
    }
    return list;
}

} // namespace

OpdsCatalogue defaultCatalogue() {
    return {QStringLiteral("Читанка"), QUrl(QStringLiteral("https://chitanka.info/catalog.opds"))};
}

QString cataloguesFilePath(const QString& libraryDir) {
    return QDir(libraryDir).filePath(QStringLiteral("opds.ini"));
}

QList<OpdsCatalogue> loadCatalogues(const QString& libraryDir) {
    const QSettings file(cataloguesFilePath(libraryDir), QSettings::IniFormat);
    return QList<OpdsCatalogue>{defaultCatalogue()} + readersCatalogues(file);
}

bool addCatalogue(const QString& libraryDir, const OpdsCatalogue& catalogue) {
    if (!isWebUrl(catalogue.url))
        return false;
    QSettings file(cataloguesFilePath(libraryDir), QSettings::IniFormat);
    QList<OpdsCatalogue> list = readersCatalogues(file);
    const QString name =
        catalogue.name.simplified().isEmpty() ? catalogue.url.host() : catalogue.name.simplified();
    if (catalogue.url == defaultCatalogue().url)
        return true;
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const OpdsCatalogue& c) { return c.url == catalogue.url; });
    if (same != list.end())
        same->name = name;
    else
        list << OpdsCatalogue{name, catalogue.url};
    file.remove(QStringLiteral("catalogues"));
    file.setValue(QStringLiteral("catalogues/size"), list.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString key = QStringLiteral("catalogues/%1/").arg(i + 1);
        file.setValue(key + QStringLiteral("name"), list[i].name);
        file.setValue(key + QStringLiteral("url"), list[i].url.toString(QUrl::FullyEncoded));
    }
    file.sync();
    return file.status() == QSettings::NoError;
}

QUrl lastCatalogue(const QString& libraryDir) {
    const QSettings file(cataloguesFilePath(libraryDir), QSettings::IniFormat);
    const QUrl url(file.value(QStringLiteral("last/url")).toString(), QUrl::StrictMode);
    return isWebUrl(url) ? url : defaultCatalogue().url;
}

void rememberLastCatalogue(const QString& libraryDir, const QUrl& url) {
    if (!isWebUrl(url) || url == lastCatalogue(libraryDir))
        return;
    QSettings file(cataloguesFilePath(libraryDir), QSettings::IniFormat);
    file.setValue(QStringLiteral("last/url"), url.toString(QUrl::FullyEncoded));
}

} // namespace vel
