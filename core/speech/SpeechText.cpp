#include "core/speech/SpeechText.h"

#include <algorithm>

namespace vel {

namespace {

bool endsSentence(QChar c) {
    return c == u'.' || c == u'!' || c == u'?' || c == u'…' || c == u';';
}

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

bool sayable(const QString& text, int start, int length) {
    for (int i = start; i < start + length; ++i) {
        if (text[i].isLetterOrNumber())
            return true;
    }
    return false;
}

} // namespace

std::vector<TextPiece> speechPieces(const QString& text, int maxLength) {
    std::vector<TextPiece> pieces;
    const int n = int(text.size());
    maxLength = std::max(maxLength, 20);
    int start = 0;
    auto cut = [&](int end) {
        if (end > start && sayable(text, start, end - start))
            pieces.push_back({start, end - start});
        start = end;
    };
    int lastSpace = -1;
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (isBreak(c)) {
            cut(i + 1);
            lastSpace = -1;
            continue;
        }
        if (c.isSpace())
            lastSpace = i;
        if (endsSentence(c) && (i + 1 == n || text[i + 1].isSpace() || text[i + 1] == u'"' ||
                                text[i + 1] == u'“' || text[i + 1] == u'»')) {
            int end = i + 1;
            // Closing quotes stay with their sentence.
            while (end < n && (text[end] == u'"' || text[end] == u'“' || text[end] == u'»'))
                ++end;
            cut(end);
            i = end - 1;
            lastSpace = -1;
            continue;
        }
        if (i + 1 - start >= maxLength) {
            cut(lastSpace > start ? lastSpace + 1 : i + 1);
            lastSpace = -1;
        }
    }
    cut(n);
    return pieces;
}

int utf16OffsetOfCodePoint(const QString& text, int codePointPosition) {
    int offset = 0;
    for (int cp = 1; cp < codePointPosition && offset < text.size(); ++cp)
        offset += (text[offset].isHighSurrogate() && offset + 1 < text.size()) ? 2 : 1;
    return std::min(offset, int(text.size()));
}

int laidOutOffset(const QString& stored, const QString& laidOut, int storedOffset) {
    int i = 0, j = 0;
    const int sn = int(stored.size()), ln = int(laidOut.size());
    storedOffset = std::clamp(storedOffset, 0, sn);
    while (i < storedOffset && j < ln) {
        const QChar l = laidOut[j];
        if (l == QChar::SoftHyphen && stored[i] != QChar::SoftHyphen) {
            ++j;
        } else if (stored[i] == u'\r' && i + 1 < sn && stored[i + 1] == u'\n' && l != u'\r') {
            i += 2;
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    while (j < ln && laidOut[j] == QChar::SoftHyphen)
        ++j;
    return j;
}

} // namespace vel
