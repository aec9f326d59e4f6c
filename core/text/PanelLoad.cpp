#include "core/text/PanelLoad.h"

#include "core/text/formats/BookFormats.h"

#include <QFileInfo>

namespace vel {

TextImportResult readPanelText(const QString& path, TextSource source) {
    // A zipped text goes through the book reader whichever command chose it.
    if (source == TextSource::Document || bookFormatByName(path) == BookFormat::Zip)
        return readBook(path);
    return loadTextFile(path);
}

bool readsInBackground(const QString& path, TextSource source, qint64 plainTextThreshold) {
    if (source == TextSource::Document)
        return true;
    return QFileInfo(path).size() >= plainTextThreshold;
}

} // namespace vel
