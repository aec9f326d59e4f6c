#include "core/text/LineJoin.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace vel {

namespace {

// Every lowercase letter of the alphabet U+0430..U+044F joins except "ы", "э" (not Bulgarian) and "ю".
constexpr std::uint32_t joiningLetterMask() {
    constexpr char16_t letters[] = u"чявертъуиопшщасдфгхйклзьцжбнм";
    std::uint32_t mask = 0;
    for (char16_t c : letters)
        if (c >= u'а' && c <= u'я')
            mask |= std::uint32_t{1} << (c - u'а');
    return mask;
}

constexpr std::uint32_t kJoiningLetters = joiningLetterMask();
static_assert(std::popcount(kJoiningLetters) == 29);

inline bool joins(char16_t c) {
    const unsigned offset = static_cast<unsigned>(c) - u'а';
    if (offset < 32)
        return (kJoiningLetters >> offset) & 1u;
    return c == u';' || c == u',';
}

} // namespace

bool joinsLineBreakBefore(QChar c) {
    return joins(c.unicode());
}

// A join never writes a line break, so it can only remove them. What a join leaves right after a line break
// that survives is a space, or the comma of a break joined before a comma, and that comma rule is the last to
// look at line breaks. So deciding every break by the character that follows it in the original text gives
// the same result as applying the join rules one after another. Underscores are removed last, so a line
// break followed by "_" is decided by the "_" (it stays).
QString joinLineBreaks(QString text) {
    const qsizetype n = text.size();
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* end = p + n;

    // Find the first character that changes anything; most texts without one are returned shared.
    for (; p < end; ++p) {
        if (*p == u'_')
            break;
        if (*p == u'\r' && end - p >= 3 && p[1] == u'\n' && joins(p[2]))
            break;
    }
    if (p == end)
        return text;

    // Every change shortens the text, so it is rewritten in place: the write position never passes the
    // read position. A text shared with the caller is copied once here.
    const qsizetype head = p - reinterpret_cast<const char16_t*>(text.constData());
    char16_t* const outBegin = reinterpret_cast<char16_t*>(text.data());
    char16_t* dst = outBegin + head;
    p = dst;
    end = outBegin + n;

    // The last two characters cannot start a join, which keeps the look-ahead inside the buffer.
    const char16_t* const joinEnd = end - 2;
    while (p < joinEnd) {
        const char16_t c = *p;
        if (c == u'\r') {
            if (p[1] == u'\n') {
                const char16_t next = p[2];
                if (joins(next)) {
                    if (next == u',') {
                        dst[0] = u',';
                        dst[1] = u' ';
                        dst += 2;
                        p += 3;
                    } else {
                        *dst++ = u' ';
                        p += 2;
                    }
                    continue;
                }
            }
        } else if (c == u'_') {
            ++p;
            continue;
        }
        *dst++ = c;
        ++p;
    }
    for (; p < end; ++p)
        if (*p != u'_')
            *dst++ = *p;

    text.truncate(dst - outBegin);
    return text;
}

} // namespace vel
