#pragma once
// Text handling around speech: cutting a text into pieces spoken one at a time, and finding a spoken word
// again in the text as a view lays it out.

#include <QString>
#include <vector>

namespace vel {

struct TextPiece {
    int start = 0;
    int length = 0;
};

// The text in sentences (ending at . ! ? … or a line break), a long one cut at a space before maxLength;
// pieces holding nothing to say are left out. Short pieces start playing sooner and keep the synthesizer's
// word positions exact: it loses count across sentence ends.
std::vector<TextPiece> speechPieces(const QString& text, int maxLength = 300);

// The UTF-16 offset of a 1-based code-point position, clamped to the text.
int utf16OffsetOfCodePoint(const QString& text, int codePointPosition);

// The offset in laidOut of stored[storedOffset], where laidOut is stored as a view holds it: CR LF as one
// paragraph break, soft hyphens added by the typesetting.
int laidOutOffset(const QString& stored, const QString& laidOut, int storedOffset);

} // namespace vel
