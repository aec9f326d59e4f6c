#include "core/book/Typeset.h"

#include "core/book/Hyphenation.h"

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <bitset>

namespace vel {

namespace {

constexpr QChar kSoftHyphen(0x00AD);

// A page's run-on last line is full when no more than a short word and a hyphen are missing from it.
constexpr qreal kFullLine = 0.75;

} // namespace

bool isWordChar(QChar c) {
    // Asked of every character laid out as a book: one bit per UTF-16 unit, worked out once.
    static const std::bitset<0x10000> table = [] {
        std::bitset<0x10000> t;
        for (char32_t u = 0; u < 0x10000; ++u) {
            const QChar q{char16_t(u)};
            t[u] = q.isLetterOrNumber() || q.isMark() || q == kSoftHyphen;
        }
        return t;
    }();
    return table[c.unicode()];
}

void hyphenationPoints(QStringView word, const Hyphenator& h, Hyphenator::Buffers& buffers,
                       std::vector<int>& out) {
    // Only a word of letters the patterns know breaks: not one with digits, marks or hyphens of its own.
    if (word.size() < 2 * Hyphenator::kMinSide || word.size() > Hyphenator::kMaxWord)
        return;
    for (QChar c : word)
        if (!h.covers(c))
            return;
    h.breaks(word, out, buffers);
}

QString layoutName(PageLayout layout) {
    return layout == PageLayout::Book ? QStringLiteral("book") : QStringLiteral("plain");
}

std::optional<PageLayout> layoutFromName(const QString& name) {
    if (name == QLatin1String("book"))
        return PageLayout::Book;
    if (name == QLatin1String("plain"))
        return PageLayout::Plain;
    return std::nullopt;
}

PageLayout storedLayout(const QString& fact) {
    return layoutFromName(fact).value_or(PageLayout::Plain);
}

Typesetting Typesetting::of(PageLayout layout, const QFont& font) {
    Typesetting t;
    t.layout = layout;
    if (layout == PageLayout::Book) {
        t.justify = true;
        t.hyphenate = true;
        t.indent = qRound(QFontInfo(font).pixelSize() * 1.25);
    }
    return t;
}

bool endsParagraph(QStringView page) {
    return page.isEmpty() || page.endsWith(u'\n') || page.endsWith(u'\r') || page.endsWith(QChar(0x2029));
}

PageFlow pageFlowOf(bool afterParagraphEnd, QStringView page, bool textFollows) {
    return {afterParagraphEnd, textFollows && !endsParagraph(page)};
}

QMargins pageMargins(PageLayout layout, QSize box, PageSide side) {
    if (layout == PageLayout::Plain)
        return {};
    // Proportions of a printed page: the head clears the window's corner buttons at every screen size.
    const int w = box.width();
    const int h = box.height();
    const int outer = qRound(w * 0.06);
    const int spine = qRound(w * 0.08);
    const int head = qRound(h * 0.065);
    const int foot = qRound(h * 0.075);
    return side == PageSide::Left ? QMargins(outer, head, spine, foot) : QMargins(spine, head, outer, foot);
}

int LaidOutText::toLaidOut(int pos) const {
    // The k-th added hyphen stands at added[k], after added[k] - k original characters.
    int lo = 0, hi = int(added.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (added[mid] - mid < pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return pos + lo;
}

int LaidOutText::toOriginal(int pos) const {
    return pos - int(std::lower_bound(added.begin(), added.end(), pos) - added.begin());
}

LaidOutText laidOutText(QStringView text, const Typesetting& t) {
    LaidOutText out;
    const Hyphenator* h = t.hyphenate ? Hyphenator::bulgarian() : nullptr;
    if (!h) {
        out.text = text.toString();
        return out;
    }
    out.text.reserve(text.size() + text.size() / 4);
    Hyphenator::Buffers buffers;
    std::vector<int> breaks;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        const int gap = i;
        while (i < n && !isWordChar(text[i]))
            ++i;
        out.text.append(text.data() + gap, i - gap);
        const int start = i;
        while (i < n && isWordChar(text[i]))
            ++i;
        const QStringView word = text.sliced(start, i - start);
        breaks.clear();
        hyphenationPoints(word, *h, buffers, breaks);
        int from = 0;
        for (int at : breaks) {
            out.text.append(word.data() + from, at - from);
            out.added.push_back(int(out.text.size()));
            out.text += kSoftHyphen;
            from = at;
        }
        out.text.append(word.data() + from, word.size() - from);
    }
    return out;
}

QTextOption textOption(const Typesetting& t, Qt::LayoutDirection direction) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(direction);
    if (t.justify)
        option.setAlignment(Qt::AlignJustify);
    return option;
}

LaidOutText typesetDocument(QTextDocument& doc, const QString& text, const Typesetting& t,
                            const PageFlow& flow) {
    LaidOutText out = laidOutText(text, t);
    QTextOption option = doc.defaultTextOption();
    option.setAlignment(t.justify ? Qt::AlignJustify : QTextOption().alignment());
    doc.setDefaultTextOption(option);
    doc.setPlainText(out.text);
    if (t.indent > 0) {
        QTextCursor all(&doc);
        all.select(QTextCursor::Document);
        QTextBlockFormat indented;
        indented.setTextIndent(t.indent);
        all.mergeBlockFormat(indented);
        if (!flow.startsParagraph) {
            // The page opens inside a paragraph begun on the page before.
            QTextCursor first(doc.firstBlock());
            QTextBlockFormat plain;
            plain.setTextIndent(0);
            first.mergeBlockFormat(plain);
        }
    }
    if (t.justify && flow.paragraphGoesOn) {
        // The paragraph goes on over the page: its last line here is a full line of it. The space it ends
        // in would hold it off the edge by its width, so that space is set almost without any.
        qsizetype spaces = 0;
        while (spaces < out.text.size() && out.text[out.text.size() - 1 - spaces] == u' ')
            ++spaces;
        if (spaces > 0) {
            QTextCursor tail(&doc);
            tail.movePosition(QTextCursor::End);
            tail.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(spaces));
            QTextCharFormat thin;
            thin.setFontPointSize(1);
            tail.mergeCharFormat(thin);
        }
        // Only a full line is set full. A short one (a page shown at another width than it was cut for)
        // reads as its paragraph's last line and is never stretched.
        const QTextBlock last = doc.lastBlock();
        doc.documentLayout()->blockBoundingRect(last); // lays it out
        QTextLayout* layout = last.layout();
        if (layout->lineCount() > 0) {
            const QTextLine line = layout->lineAt(layout->lineCount() - 1);
            if (line.naturalTextWidth() >= kFullLine * line.width())
                layout->setFlags(Qt::TextJustificationForced);
        }
    }
    return out;
}

} // namespace vel
