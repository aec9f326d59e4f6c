#pragma once
#include "core/text/TextImport.h"
#include "core/text/formats/BookLines.h"
#include "core/text/formats/XmlRead.h"

namespace vel {

// One XHTML document into lines: blocks and headings one line each, <br> a new line, notes (footnote and
// endnote asides) after the document, scripts, styles and pictures dropped. The title and author of its
// head when asked for. False when the document is not well formed; `lines` then holds a part of it.
bool readXhtml(XmlReader& xml, BookLines& lines, QString* title = nullptr, QString* author = nullptr);

// HTML that is not XML, read as a browser would forgive it; blocks and line breaks kept, notes not told
// apart.
void readTagSoup(const QString& html, BookLines& lines, QString* title = nullptr);

// One document's lines, well formed or not.
void readHtmlDocument(const QString& html, BookLines& lines, QString* title, QString* author);

// An HTML or XHTML file: its encoding from a byte order mark or its charset, else detected.
TextImportResult readHtml(const QByteArray& bytes);

} // namespace vel
