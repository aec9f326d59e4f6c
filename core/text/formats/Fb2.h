#pragma once
#include "core/text/TextImport.h"

namespace vel {

// A FictionBook document: the main body's sections, titles, poems and paragraphs as lines, then the notes
// bodies with each note marked; title and authors from its title-info.
TextImportResult readFb2(const QByteArray& bytes);

} // namespace vel
