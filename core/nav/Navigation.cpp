#include "core/nav/Navigation.h"

#include <QRegularExpression>

namespace vel {

namespace {

struct Line {
    int start = 0;
    QStringView text;
};

std::vector<Line> splitLines(const QString& text) {
    std::vector<Line> lines;
    int start = 0;
    const int n = int(text.size());
    for (int i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.push_back({start, QStringView(text).mid(start, i - start)});
        if (i + 1 < n && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

// Ordinals a chapter or part is numbered with, in every gender, up to twenty, and the last one.
const QString kOrdinal = QStringLiteral(
    "(?:първ|втор|трет|четвърт|пет|шест|седм|осм|девет|десет|единадесет|единайсет|дванадесет|дванайсет|"
    "тринадесет|тринайсет|четиринадесет|четиринайсет|петнадесет|петнайсет|шестнадесет|шестнайсет|"
    "седемнадесет|седемнайсет|осемнадесет|осемнайсет|деветнадесет|деветнайсет|двадесет|последн)(?:а|и|о)");
const QString kNumber = QStringLiteral("(?:\\d{1,3}|[IVXLC]{1,8})");

enum class Kind { None, Part, Chapter, Numeral };

Kind classify(QStringView line) {
    static const QRegularExpression part(
        QStringLiteral("^(?:(?:част|книга|part|book)\\s+(?:%1|%2)|%2\\s+(?:част|книга))\\.?$").arg(kNumber, kOrdinal),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression chapter(
        QStringLiteral("^(?:(?:глава|chapter)\\s+(?:%1|%2)|%2\\s+глава)\\.?$").arg(kNumber, kOrdinal),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    // A Roman numeral alone; a lone "I" without its period may be a word.
    static const QRegularExpression numeral(QStringLiteral("^(?:[IVXLC]{2,8}\\.?|I\\.)$"));
    if (line.size() > 40)
        return Kind::None;
    if (part.match(line.toString()).hasMatch())
        return Kind::Part;
    if (chapter.match(line.toString()).hasMatch())
        return Kind::Chapter;
    if (numeral.match(line.toString()).hasMatch())
        return Kind::Numeral;
    return Kind::None;
}

int roman(QStringView s) {
    int total = 0, prev = 0;
    for (auto it = s.rbegin(); it != s.rend(); ++it) {
        int v = 0;
        switch (it->unicode()) {
        case 'I': v = 1; break;
        case 'V': v = 5; break;
        case 'X': v = 10; break;
        case 'L': v = 50; break;
        case 'C': v = 100; break;
        default: continue;
        }
        total += v < prev ? -v : v;
        prev = std::max(prev, v);
    }
    return total;
}

} // namespace

std::vector<ContentsEntry> chapterLines(const QString& text) {
    const std::vector<Line> lines = splitLines(text);
    struct Found {
        Kind kind;
        ContentsEntry entry;
    };
    std::vector<Found> found;
    int numerals = 0, expected = 1;
    bool numeralsInOrder = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QStringView t = lines[i].text.trimmed();
        if (t.isEmpty())
            continue;
        const Kind kind = classify(t);
        if (kind == Kind::None)
            continue;
        if (kind == Kind::Numeral) {
            ++numerals;
            numeralsInOrder = numeralsInOrder && roman(t) == expected;
            expected = roman(t) + 1;
        }
        found.push_back({kind, {1, t.toString(), lines[i].start + int(t.data() - lines[i].text.data())}});
    }
    // Roman numerals alone count only as a run 1, 2, 3, ...: anything else is more likely a list.
    if (numerals > 0 && (!numeralsInOrder || numerals < 2))
        std::erase_if(found, [](const Found& f) { return f.kind == Kind::Numeral; });
    if (found.size() < 2)
        return {};
    const bool parts = std::any_of(found.begin(), found.end(), [](const Found& f) { return f.kind == Kind::Part; });
    const bool chapters = std::any_of(found.begin(), found.end(), [](const Found& f) { return f.kind != Kind::Part; });
    std::vector<ContentsEntry> out;
    out.reserve(found.size());
    for (Found& f : found) {
        f.entry.level = parts && chapters && f.kind != Kind::Part ? 2 : 1;
        out.push_back(std::move(f.entry));
    }
    return out;
}

namespace {

// Where `needle` stands in `to` at or after `from`, preferring `hint` when it is still there.
int relocate(const QString& to, const QString& needle, int hint, int from) {
    if (needle.isEmpty())
        return -1;
    if (hint >= from && QStringView(to).mid(hint).startsWith(needle))
        return hint;
    return int(to.indexOf(needle, from));
}

} // namespace

BookNavigation carryNavigation(const BookNavigation& nav, const QString& from, const QString& to) {
    if (from == to)
        return nav;
    BookNavigation out;
    int at = 0;
    for (const ContentsEntry& e : nav.contents) {
        const QString head = QStringView(from).mid(e.position, 40).toString().section(u'\r', 0, 0);
        const int pos = relocate(to, head, e.position, at);
        if (pos < 0)
            continue;
        out.contents.push_back({e.level, e.heading, pos});
        at = pos;
    }
    at = 0;
    for (const NoteAnchor& n : nav.notes) {
        const QString marker = QStringView(from).mid(n.position, n.length).toString();
        const int pos = relocate(to, marker, n.position, at);
        if (pos < 0)
            continue;
        out.notes.push_back({pos, n.length, n.text});
        at = pos + n.length;
    }
    return out;
}

BookNavigation navigationForText(const BookNavigation& book, const QString& bookText, const QString& text) {
    BookNavigation nav = book.isEmpty() ? BookNavigation{} : carryNavigation(book, bookText, text);
    if (nav.contents.empty())
        nav.contents = chapterLines(text);
    return nav;
}

QString firstWords(const QString& text, int maxChars) {
    const QString s = text.simplified();
    if (s.size() <= maxChars)
        return s;
    const int cut = int(s.lastIndexOf(u' ', maxChars));
    return s.left(cut > maxChars / 2 ? cut : maxChars) + QStringLiteral("…");
}

} // namespace vel
