#include "core/text/formats/Sfb.h"

#include "core/text/formats/BookLines.h"

#include <QRegularExpression>

namespace vel {

namespace {

// Markers that open and close a block; their own line holds no text of the book.
bool isBlockMarker(QStringView m) {
    return m.size() == 2 && (m[1] == u'>' || m[1] == u'$') && QStringView(u"AIDENPCFTMRLS").contains(m[0]);
}

bool isHeading(QStringView m) {
    return !m.isEmpty() && m.size() <= 5 && m.count(u'>') == m.size();
}

class SfbReader {
public:
    explicit SfbReader(BookLines& lines) : lines_(lines) {}

    void line(QStringView raw, LoadedText& out);

private:
    QString inlineText(QString s);
    void paragraph(const QString& s) {
        lines_.endLine();
        lines_.text(inlineText(s));
        lines_.endLine();
    }

    BookLines& lines_;
    QStringList headers_; // the "|" lines before anything else
    bool started_ = false;
    bool inPoem_ = false;
    bool skipping_ = false; // the file's own information block
    bool inNote_ = false;
    int refs_ = 0;  // references numbered so far
    int notes_ = 0; // notes numbered so far
};

// Inline marks out, notes' references as "[n]", escapes and accents resolved.
QString SfbReader::inlineText(QString s) {
    static const QRegularExpression tags(QStringLiteral("\\{/?(e|s|sup|sub|del|pre|m)( [^}]*)?\\}|\\{img:[^}]*\\}|"
                                                        "\\{/?#[^}]*\\}"));
    static const QRegularExpression link(QStringLiteral("\\[\\[([^|\\]]*)\\|([^\\]]*)\\]\\]"));
    static const QRegularExpression emphasis(QStringLiteral("(^|(?<=[\\s(\\[„«>]))_{1,3}(.+?)_{1,3}(?![\\w])"),
                                             QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression ref(QStringLiteral("(?<=[^\\s\\\\(])\\*+(\\d*)"),
                                        QRegularExpression::UseUnicodePropertiesOption);
    s.replace(tags, QString());
    s.replace(link, QStringLiteral("\\2"));
    s.replace(emphasis, QStringLiteral("\\2"));
    QString out;
    qsizetype from = 0;
    for (auto m = ref.globalMatch(s); m.hasNext();) {
        const QRegularExpressionMatch r = m.next();
        out += QStringView(s).mid(from, r.capturedStart() - from);
        ++refs_;
        out += noteMarker(r.captured(1).isEmpty() ? QString::number(refs_) : r.captured(1));
        from = r.capturedEnd();
    }
    out += QStringView(s).mid(from);
    out.replace(QStringLiteral("\\*"), QStringLiteral("*"));
    out.replace(QStringLiteral("\\_"), QStringLiteral("_"));
    out.replace(QStringLiteral("\\{"), QStringLiteral("{"));
    out.replace(QStringLiteral("\\}"), QStringLiteral("}"));
    out.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    out.replace(u'`', u'\u0300');
    out.replace(u'\u00B4', u'\u0301');
    return out;
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

    if (skipping_) {
        skipping_ = marker != u"I$";
        return;
    }
    if (marker == u"I>") {
        skipping_ = true;
        return;
    }
    if (inNote_) {
        const bool ends = text.endsWith(u']');
        if (ends)
            text.chop(1);
        lines_.notes().endLine();
        lines_.notes().text(inlineText(text));
        lines_.notes().endLine();
        inNote_ = !ends;
        if (!inNote_)
            lines_.flushNotes();
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
        text = text.mid(m.capturedLength());
        const bool ends = text.endsWith(u']');
        if (ends)
            text.chop(1);
        lines_.notes().endLine();
        lines_.notes().literal(QString(noteMarker(number) + u' '));
        lines_.notes().text(inlineText(text));
        lines_.notes().endLine();
        inNote_ = !ends;
        if (!inNote_)
            lines_.flushNotes();
        return;
    }
    if (marker.startsWith(u':'))
        return; // a jump target's name
    if (isHeading(marker))
        lines_.blankLine();
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
