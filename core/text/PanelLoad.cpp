#include "core/text/PanelLoad.h"

#include <QFileInfo>

namespace vel {

TextImportResult readPanelText(const QString& path, TextSource source) {
    return source == TextSource::Document ? extractDocText(path) : loadTextFile(path);
}

bool readsInBackground(const QString& path, TextSource source, qint64 plainTextThreshold) {
    if (source == TextSource::Document)
        return true;
    return QFileInfo(path).size() >= plainTextThreshold;
}

} // namespace vel
