#pragma once
// Which reader a book file goes to, by its name and its first bytes.

#include "core/text/TextImport.h"

#include <QString>
#include <QStringList>

namespace vel {

enum class BookFormat { PlainText, Doc, Fb2, Epub, Docx, Odt, Rtf, Html, Sfb, Zip };

// By the file's name alone; PlainText for ".txt", nothing for a name no reader takes.
std::optional<BookFormat> bookFormatByName(const QString& path);

// Every file name pattern a reader takes, for open dialogs and folder imports ("*.fb2", "*.epub", ...).
QStringList bookFilePatterns();

// Reads any supported book or document. The file's first bytes decide over its name (an RTF or a plain
// text saved as ".doc", an FB2 under ".xml"). Errors name the file.
TextImportResult readBook(const QString& path);

// A zip holding one text: the text read by its own kind, its name in `innerName`.
TextImportResult readZippedText(const QByteArray& zip);

// The part of a file name that names the work: "A - B.fb2.zip" -> "A - B".
QString bookBaseName(const QString& fileName);

} // namespace vel
