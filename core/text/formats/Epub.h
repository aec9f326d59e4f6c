#pragma once
#include "core/text/TextImport.h"
#include "core/text/formats/Zip.h"

namespace vel {

// An EPUB 2 or 3 book: its spine's documents in reading order (those outside the linear reading order, such
// as notes, after them), title and authors from the package metadata. A book whose content is encrypted
// (DRM) is refused by name. Series from the metadata; the cover's path in the archive goes to *coverEntry
// (the image itself is not among the entries read).
TextImportResult readEpub(const ZipContents& zip, QString* coverEntry = nullptr);

// The entries an EPUB reader needs: the container, the package, the documents; no pictures or fonts.
bool isEpubTextEntry(const QString& name);

} // namespace vel
