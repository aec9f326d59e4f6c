#pragma once
// The plain book format of the large Bulgarian online library: one line per paragraph, each line a marker,
// a tab and its text (">" a heading, "P>" ... "P$" a poem, "E>" an epigraph, "[*" a note, ...).

#include "core/text/TextImport.h"

namespace vel {

// Title and author from the "|" lines that open the book (author first, then title; a single one is the
// title); the text one paragraph a line, notes after the paragraph that refers to them.
TextImportResult readSfb(const QByteArray& bytes);

} // namespace vel
