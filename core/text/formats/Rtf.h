#pragma once
#include "core/text/TextImport.h"

namespace vel {

// An RTF document by the format's own structure: groups, destinations (those marked \* and the known
// non-text ones skipped), \par and \line as line ends, \'hh in the code page of the font in use or the
// document's \ansicpg, \uN with its \ucN fallback skipped, \binN data passed over; footnotes marked and
// gathered at the end; title and author from \info.
TextImportResult readRtf(const QByteArray& bytes);

} // namespace vel
