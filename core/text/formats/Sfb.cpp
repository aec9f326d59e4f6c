#include "core/text/formats/Sfb.h"

#include "core/text/formats/BookLines.h"

#include <QRegularExpression>

#include <vector>

namespace vel {

namespace {

// Markers that open and close a block; their own line holds no text of the book.
bool isBlockMarker(QStringView m) {
    return m.size() == 2 && (m[1] == u'>' || m[1] == u'$') && QStringView(u"AIDENPCFTMRLS").contains(m[0]);
}

bool isHeading(QStringView m) {
    return !m.isEmpty() && m.size() <= 5 && m.count(u'>') == m.size();
}

// For each position, the first position at or after it where `at` holds (s.size() when none): every mark
// below finds its end in one step, so a line full of openings that never close costs no more than its length.
template <typename At> std::vector<qsizetype> nextWhere(QStringView s, At at) {
    std::vector<qsizetype> next(size_t(s.size()) + 2, s.size());
    for (qsizetype i = s.size() - 1; i >= 0; --i)
        next[size_t(i)] = at(i) ? i : next[size_t(i) + 1];
    return next;
}

qsizetype nextOf(const std::vector<qsizetype>& next, qsizetype from) {
    return next[size_t(std::min<qsizetype>(from, qsizetype(next.size()) - 1))];
}

// "{e}", "{/s}", "{sup ...}", "{img:...}", "{#...}", "{/#...}": the marks go, their text stays.
QString withoutTags(QStringView s) {
    static const QStringView names[] = {u"sup", u"sub", u"del", u"pre", u"e", u"s", u"m"};
    const auto brace = nextWhere(s, [&](qsizetype i) { return s[i] == u'}'; });
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size();) {
        qsizetype end = s.size();
        if (s[i] == u'{') {
            const QStringView rest = s.mid(i + 1);
            const qsizetype slash = rest.startsWith(u'/') ? 1 : 0;
            if (rest.startsWith(u"img:")) {
                end = nextOf(brace, i + 5);
            } else if (rest.mid(slash).startsWith(u'#')) {
                end = nextOf(brace, i + 2 + slash);
            } else {
                for (const QStringView name : names) {
                    const qsizetype after = i + 1 + slash + name.size();
                    if (rest.mid(slash).startsWith(name) && after < s.size() &&
                        (s[after] == u'}' || s[after] == u' ')) {
                        end = nextOf(brace, after);
                        break;
                    }
                }
            }
        }
        if (end < s.size()) {
            i = end + 1;
        } else {
            out += s[i];
            ++i;
        }
    }
    return out;
}

// "[[target|text]]" -> "text".
QString withoutLinks(QStringView s) {
    const auto close = nextWhere(s, [&](qsizetype i) { return s[i] == u']'; });
    const auto bar = nextWhere(s, [&](qsizetype i) { return s[i] == u'|'; });
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size();) {
        if (s.mid(i).startsWith(u"[[")) {
            const qsizetype split = std::min(nextOf(bar, i + 2), nextOf(close, i + 2));
            const qsizetype end = split < s.size() && s[split] == u'|' ? nextOf(close, split + 1) : s.size();
            if (end + 1 < s.size() && s[end + 1] == u']') {
                out += s.mid(split + 1, end - split - 1);
                i = end + 2;
                continue;
            }
        }
        out += s[i];
        ++i;
    }
    return out;
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c.isMark() || c.category() == QChar::Punctuation_Connector;
}

// "_italic_", "__bold__": one to three underscores after a space or an opening mark, closed by one to three
// before anything that is not a letter; the nearest such close ends the emphasis.
QString withoutEmphasis(QStringView s) {
    const qsizetype n = s.size();
    std::vector<qsizetype> runFrom(size_t(n) + 1, 0); // underscores from each position on
    for (qsizetype i = n - 1; i >= 0; --i)
        runFrom[size_t(i)] = s[i] == u'_' ? runFrom[size_t(i) + 1] + 1 : 0;
    const auto closing = nextWhere(s, [&](qsizetype i) {
        const qsizetype run = runFrom[size_t(i)];
        return run > 0 && run <= 3 && (i + run == n || !isWordChar(s[i + run]));
    });
    static const QStringView opening = u"([„«>";
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        if (s[i] == u'_' && (i == 0 || s[i - 1].isSpace() || opening.contains(s[i - 1]))) {
            bool matched = false;
            for (qsizetype take = std::min<qsizetype>(runFrom[size_t(i)], 3); take > 0 && !matched; --take) {
                const qsizetype end = nextOf(closing, i + take + 1);
                if (end < n) {
                    out += s.mid(i + take, end - i - take);
                    i = end + runFrom[size_t(end)];
                    matched = true;
                }
            }
            if (matched)
                continue;
        }
        out += s[i];
        ++i;
    }
    return out;
}

class SfbReader {
public:
    explicit SfbReader(BookLines& lines) : lines_(lines) {}

    void line(QStringView raw, LoadedText& out);

private:
    // The text with its inline marks resolved and its notes' references kept as such.
    void write(BookLines& to, const QString& s);
    void paragraph(const QString& s) {
        lines_.endLine();
        write(lines_, s);
        lines_.endLine();
    }
    void endHeading() {
        if (heading_ > 0)
            lines_.endHeading();
        heading_ = 0;
    }
    void noteLine(QString text) {
        const bool ends = text.endsWith(u']');
        if (ends)
            text.chop(1);
        write(lines_.notes(), text);
        lines_.notes().endLine();
        inNote_ = !ends;
        if (!inNote_) {
            lines_.notes().endNote();
            lines_.flushNotes();
        }
    }

    BookLines& lines_;
    QStringList headers_; // the "|" lines before anything else
    bool started_ = false;
    bool inPoem_ = false;
    bool skipping_ = false; // the file's own information block
    bool inNote_ = false;
    int heading_ = 0; // the level of the heading being read, 0 outside one
    int refs_ = 0;    // references numbered so far
    int notes_ = 0;   // notes numbered so far
};

// Escapes and accents resolved.
QString plain(QStringView s) {
    QString out = s.toString();
    out.replace(QStringLiteral("\\*"), QStringLiteral("*"));
    out.replace(QStringLiteral("\\_"), QStringLiteral("_"));
    out.replace(QStringLiteral("\\{"), QStringLiteral("{"));
    out.replace(QStringLiteral("\\}"), QStringLiteral("}"));
    out.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    out.replace(u'`', u'\u0300');
    out.replace(u'\u00B4', u'\u0301');
    return out;
}

// A reference is its note's number ("*3") or a star counted in order ("*"), after a word.
void SfbReader::write(BookLines& to, const QString& text) {
    static const QRegularExpression ref(QStringLiteral("(?<=[^\\s\\\\(])\\*+(\\d*)"),
                                        QRegularExpression::UseUnicodePropertiesOption);
    const QString s = withoutEmphasis(withoutLinks(withoutTags(text)));
    qsizetype from = 0;
    for (auto m = ref.globalMatch(s); m.hasNext();) {
        const QRegularExpressionMatch r = m.next();
        to.text(plain(QStringView(s).mid(from, r.capturedStart() - from)));
        ++refs_;
        const QString key = r.captured(1).isEmpty() ? QString::number(refs_) : r.captured(1);
        to.noteReference(key, noteMarker(key));
        from = r.capturedEnd();
    }
    to.text(plain(QStringView(s).mid(from)));
}

void SfbReader::line(QStringView raw, LoadedText& out) {
    const QStringView trimmed = raw.trimmed();
    const qsizetype tab = raw.indexOf(u'\t');
    // A line without a tab is a marker alone or, more often, a paragraph that lost its tab.
    QStringView marker = tab >= 0 ? raw.left(tab) : QStringView();
    QString text = (tab >= 0 ? raw.mid(tab + 1) : raw).trimmed().toString();
    if (tab < 0 && (isBlockMarker(trimmed) || trimmed == u"^" || isHeading(trimmed) ||
                    (trimmed.startsWith(u':') && !trimmed.contains(u' ')))) {
        marker = trimmed;
        text.clear();
    }
    marker = marker.trimmed();

    if (!started_ && marker == u"|" && !text.isEmpty()) {
        headers_ << text;
        lines_.endLine();
        lines_.text(text);
        lines_.endLine();
        out.author = headers_.size() > 1 ? headers_.front() : QString();
        out.title = headers_.size() > 1 ? headers_[1] : headers_.front();
        return;
    }
    if (!trimmed.isEmpty())
        started_ = true;
    // A heading goes on over the lines of its own marker that follow it.
    if (!isHeading(marker) || heading_ != marker.size())
        endHeading();

    if (skipping_) {
        skipping_ = marker != u"I$";
        return;
    }
    if (marker == u"I>") {
        skipping_ = true;
        return;
    }
    if (inNote_) {
        lines_.notes().endLine();
        noteLine(text);
        return;
    }
    if (isBlockMarker(marker)) {
        lines_.endLine();
        if (marker == u"P>" || marker == u"P$") {
            inPoem_ = marker == u"P>";
            lines_.blankLine();
        }
        // A style block names its style on its own line; a raw block's text is the book's as well.
        if (!text.isEmpty() && marker != u"M>")
            paragraph(text);
        return;
    }
    if (trimmed.isEmpty()) {
        // Between a poem's stanzas; elsewhere paragraphs are apart by their lines already.
        if (inPoem_)
            lines_.blankLine();
        return;
    }
    if (marker == u"^") {
        lines_.blankLine();
        return;
    }
    if (marker.isEmpty() && text.startsWith(QStringLiteral("[*"))) {
        static const QRegularExpression start(QStringLiteral("^\\[\\*+(\\d*)\\s*"));
        const QRegularExpressionMatch m = start.match(text);
        ++notes_;
        const QString number = m.captured(1).isEmpty() ? QString::number(notes_) : m.captured(1);
        lines_.notes().startNote(number);
        lines_.notes().literal(QString(noteMarker(number) + u' '));
        noteLine(text.mid(m.capturedLength()));
        return;
    }
    if (marker.startsWith(u':'))
        return; // a jump target's name
    if (isHeading(marker) && heading_ == 0) {
        lines_.blankLine();
        lines_.startHeading(int(marker.size()));
        heading_ = int(marker.size());
    }
    // Headings, subheadings, authors, dates, notices, signs, table rows and paragraphs: each its own line.
    paragraph(text);
}

} // namespace

TextImportResult readSfb(const QByteArray& bytes) {
    TextImportResult result = decodeText(bytes);
    if (!result.ok())
        return result;
    const QString text = std::move(result.loaded.text);
    result.loaded.text.clear();
    BookLines lines;
    SfbReader reader(lines);
    for (const QStringView line : QStringView(text).split(QStringLiteral("\r\n")))
        reader.line(line, result.loaded);
    finishBook(lines, result);
    return result;
}

} // namespace vel
