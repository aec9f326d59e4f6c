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
// text saved as ".doc", an FB2 under ".xml"). A zip holding one book is read as that book. Errors name the
// file.
TextImportResult readBook(const QString& path);

// The same for a book already in memory, named `name` (which only helps to tell its format). Errors do not
// name the file.
TextImportResult readBookBytes(const QByteArray& bytes, const QString& name);

// The books of a zip archive that is not itself an EPUB, DOCX or ODT, by their names inside it; empty for
// any other file.
QStringList zippedBooks(const QString& path);

// One book of a zip archive, its name inside it in `innerName`. Errors name the archive and the book.
TextImportResult readZippedBook(const QString& path, const QString& entry);

// The part of a file name that names the work: "A - B.fb2.zip" -> "A - B".
QString bookBaseName(const QString& fileName);

} // namespace vel
