#pragma once
// Word-processor documents that are zipped XML: Office Open XML (.docx) and OpenDocument (.odt).

#include "core/text/TextImport.h"
#include "core/text/formats/Zip.h"

namespace vel {

// Paragraphs and headings one line each, a line break a new line, footnotes and endnotes marked in the text
// and gathered at its end; title and author from the document's properties.
TextImportResult readDocx(const ZipContents& zip);
TextImportResult readOdt(const ZipContents& zip);

bool isDocxTextEntry(const QString& name);
bool isOdtTextEntry(const QString& name);

} // namespace vel
