#include "core/book/PageCut.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>
#include <QtMath>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

namespace vel {

namespace {

// Layout heights are whole pixels or 1/64 fractions; this only absorbs rounding in the sums.
constexpr qreal kEpsilon = 1e-6;

// Paragraphs longer than this are laid out in pieces so that memory stays bounded whatever the text.
constexpr int kChunkChars = 32 * 1024;

// How often the progress callback hears from a cut, in characters.
constexpr int kProgressStep = 64 * 1024;

// Texts at least twice this long are laid out by several threads, one share each.
constexpr int kMinPartChars = 128 * 1024;

struct Line {
    int start = 0;           // first character: a text offset or a document position
    int height = 0;          // the distance to the next line's top
    bool breakAfter = false; // ends in a forced break: shown alone, an empty line follows it
    bool hyphenated = false; // ends inside a word broken by a hyphen
};

// The one rule for where a page ends, fed line by line from the top of the page: take the lines that fit
// between the margins; a page may end after a line that ends in a forced break only when the empty line the
// break opens fits too, and never after a line ending in a hyphen; a page holds at least one line.
class PageFitter {
public:
    PageFitter(qreal available, qreal emptyLineHeight) : available_(available), emptyLine_(emptyLineHeight) {}

    // Adds the next line; every page this closes is appended to `ends` as the position where it ends.
    void push(const Line& line, std::vector<int>& ends) {
        while (!lines_.empty() && used_ + line.height > available_ + kEpsilon) {
            // A page of nothing but hyphenated lines has to split a word after all.
            const std::size_t take = endable_ > 0 ? endable_ : std::max<std::size_t>(splittable_, 1);
            ends.push_back(take < lines_.size() ? lines_[take].start : line.start);
            lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(take));
            used_ = 0;
            endable_ = 0;
            splittable_ = 0;
            for (std::size_t i = 0; i < lines_.size(); ++i)
                note(i);
        }
        lines_.push_back(line);
        note(lines_.size() - 1);
    }

private:
    void note(std::size_t i) {
        used_ += lines_[i].height;
        if (lines_[i].breakAfter && used_ + emptyLine_ > available_ + kEpsilon)
            return;
        splittable_ = i + 1;
        if (!lines_[i].hyphenated)
            endable_ = i + 1;
    }

    qreal available_;
    qreal emptyLine_;
    std::vector<Line> lines_; // the lines of the page being filled, from its top
    qreal used_ = 0;
    std::size_t endable_ = 0;    // how many of lines_ the page may end after; 0 when none yet
    std::size_t splittable_ = 0; // the same, were it allowed to end in a hyphen
};

// A text document moves down by whole pixels from line to line.
int lineHeight(const QTextLine& line) {
    return qCeil(line.ascent() + line.descent() + line.leading());
}

// A copy of `font` for this thread alone: copies share a cache of font engines that threads would otherwise
// keep taking from each other.
QFont threadFont(const QFont& font) {
    QFont own = font;
    own.setKerning(own.kerning());
    return own;
}

int emptyLineHeight(const QFont& font) {
    QTextLayout layout(QString(), threadFont(font));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1000);
    const int h = lineHeight(line);
    layout.endLayout();
    return h;
}

// The characters that end a paragraph when plain text is put into a text document; CR LF counts as one break.
inline bool isParagraphBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

// A forced line break inside a paragraph.
inline bool isLineBreak(char16_t c) {
    return c == 0x2028;
}

inline bool isSoftHyphen(char16_t c) {
    return c == 0x00AD;
}

bool isDroppableResidue(const QString& text, int from) {
    if (text.size() - from > kMaxResidue)
        return false;
    for (int i = from; i < text.size(); ++i)
        if (!text.at(i).isSpace())
            return false;
    return true;
}

// Lays paragraphs out into lines as a text document would; one per thread.
class ParagraphLayouter {
public:
    ParagraphLayouter(QStringView text, const PageGeometry& g, std::function<bool(int done)> poll)
        : text_(text), typesetting_(g.typesetting),
          lineWidth_(std::max<qreal>(g.viewportWidth - 2 * g.documentMargin, 0)), poll_(std::move(poll)) {
        layout_.setFont(threadFont(g.font));
        layout_.setCacheEnabled(false);
    }

    // Appends the lines of the paragraphs starting in [from, to); `to` is a paragraph start or the text's
    // end. Now and then `poll` hears how many more characters are done; when it returns false this stops and
    // returns false.
    bool run(int from, int to, std::vector<Line>& out) {
        const int size = int(text_.size());
        polled_ = from;
        int pos = from;
        for (;;) {
            int end = pos;
            while (end < size && !isParagraphBreak(text_[end].unicode()))
                ++end;
            if (!layParagraph(pos, end, end < size, out))
                return false;
            if (end == size)
                break;
            pos = end + (text_[end] == u'\r' && end + 1 < size && text_[end + 1] == u'\n' ? 2 : 1);
            if (pos == to && to < size) // a text ending in a break ends in an empty paragraph
                break;
        }
        return poll_(to - std::exchange(polled_, to));
    }

private:
    bool tick(int pos) { return pos - polled_ < kProgressStep || poll_(pos - std::exchange(polled_, pos)); }

    bool layParagraph(int from, int to, bool breakAfterLast, std::vector<Line>& out) {
        const QStringView source = text_.sliced(from, to - from);
        // The paragraph as it is laid out: with the soft hyphens of the typesetting, when it hyphenates.
        const bool hyphenated = typesetting_.hyphenate;
        if (hyphenated)
            laid_ = laidOutText(source, typesetting_);
        const QStringView para = hyphenated ? QStringView(laid_.text) : source;
        auto original = [&](int p) { return from + (hyphenated ? laid_.toOriginal(p) : p); };
        const int size = int(para.size());
        layout_.setTextOption(
            textOption(typesetting_, source.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight));

        // Lines break greedily, so a line depends only on the text from its own start: a long paragraph is
        // laid out a piece at a time, and the last two lines of a piece, which may have seen its cut-off end,
        // are laid out again at the start of the next piece.
        int lineStart = 0;
        int chunk = kChunkChars;
        for (;;) {
            int end = size;
            const bool partial = size - lineStart > chunk;
            if (partial) {
                end = lineStart + chunk;
                int k = end;
                while (k > lineStart + chunk / 2 && !para[k - 1].isSpace())
                    --k;
                if (k > lineStart + chunk / 2)
                    end = k;
                else if (para[end - 1].isHighSurrogate())
                    --end;
            }
            layout_.setText(QString::fromRawData(para.data() + lineStart, end - lineStart));
            const std::size_t first = out.size();
            std::vector<int>& starts = starts_;
            starts.clear();
            layout_.beginLayout();
            for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
                // Only a paragraph's very first line is indented.
                const bool opening = lineStart == 0 && line.lineNumber() == 0;
                line.setLineWidth(opening ? std::max<qreal>(lineWidth_ - typesetting_.indent, 0)
                                          : lineWidth_);
                starts.push_back(lineStart + line.textStart());
                out.push_back({original(starts.back()), lineHeight(line), false, false});
            }
            layout_.endLayout();

            const std::size_t count = out.size() - first;
            const std::size_t kept = partial ? count - std::min<std::size_t>(count, 2) : count;
            if (kept == 0) { // too few lines to keep any: take a longer piece
                out.resize(first);
                chunk *= 2;
                continue;
            }
            // A line ends where the next begins: in a forced break, or in a hyphen.
            auto mark = [&](std::size_t i, int nextStart) {
                out[first + i].breakAfter = isLineBreak(para[nextStart - 1].unicode());
                out[first + i].hyphenated = isSoftHyphen(para[nextStart - 1].unicode());
            };
            for (std::size_t i = 0; i + 1 < kept; ++i)
                mark(i, starts[i + 1]);
            if (!partial) {
                out.back().breakAfter = breakAfterLast;
                return tick(from + int(source.size()));
            }
            lineStart = starts[kept];
            mark(kept - 1, lineStart);
            out.resize(first + kept);
            if (!tick(original(lineStart)))
                return false;
        }
    }

    QStringView text_;
    const Typesetting& typesetting_;
    qreal lineWidth_;
    std::function<bool(int done)> poll_;
    int polled_ = 0;
    QTextLayout layout_;
    LaidOutText laid_;
    std::vector<int> starts_;
};

// Where to split the text for laying it out in parallel: paragraph starts near equal shares.
std::vector<int> splitPoints(QStringView text, int parts) {
    const int size = int(text.size());
    std::vector<int> points{0};
    for (int k = 1; k < parts; ++k) {
        int i = std::max(points.back(), int(qint64(size) * k / parts));
        while (i < size && !isParagraphBreak(text[i].unicode()))
            ++i;
        if (i >= size - 1)
            break;
        i += text[i] == u'\r' && text[i + 1] == u'\n' ? 2 : 1;
        if (i < size)
            points.push_back(i);
    }
    points.push_back(size);
    return points;
}

class Cutter {
public:
    Cutter(const QString& text, const PageGeometry& g) : text_(text), geometry_(g) {}

    PageCut run(const CutProgress& progress) {
        PageCut result;
        const int size = int(text_.size());
        const int parts = std::clamp(size / kMinPartChars, 1, std::max(1, QThread::idealThreadCount()));
        const std::vector<int> points = splitPoints(text_, parts);
        const std::size_t count = points.size() - 1;

        std::vector<std::vector<Line>> lines(count);
        std::atomic<int> done{0};
        std::atomic<bool> cancelled{false};
        std::vector<std::unique_ptr<QThread>> helpers;
        for (std::size_t k = 1; k < count; ++k) {
            helpers.emplace_back(QThread::create([&, k] {
                ParagraphLayouter(text_, geometry_, [&](int step) {
                    done += step;
                    return !cancelled;
                }).run(points[k], points[k + 1], lines[k]);
            }));
            helpers.back()->start();
        }
        auto report = [&] {
            if (progress && !cancelled && !progress(done, size))
                cancelled = true;
            return !cancelled;
        };
        ParagraphLayouter(text_, geometry_, [&](int step) {
            done += step;
            return report();
        }).run(points[0], points[1], lines[0]);
        for (auto& helper : helpers)
            while (!helper->wait(QDeadlineTimer(50)))
                report();
        if (cancelled || !report()) {
            result.status = PageCut::Status::Cancelled;
            return result;
        }

        PageFitter fitter(geometry_.viewportHeight - 2 * geometry_.documentMargin,
                          emptyLineHeight(geometry_.font));
        std::vector<int> ends;
        for (const std::vector<Line>& part : lines) {
            for (const Line& line : part) {
                fitter.push(line, ends);
                for (int end : ends)
                    if (!closePage(end))
                        return finish(result);
                ends.clear();
            }
        }
        closePage(size);
        return finish(result);
    }

private:
    // Stores the page ending at `end`; false once cutting stops.
    bool closePage(int end) {
        pages_.push_back({pageStart_, end - pageStart_});
        pageStart_ = end;
        if (pages_.size() > std::size_t(kMaxPages)) {
            status_ = PageCut::Status::TooManyPages;
            return false;
        }
        return end < text_.size() && !isDroppableResidue(text_, end);
    }

    PageCut finish(PageCut& result) {
        result.status = status_;
        if (status_ == PageCut::Status::Complete)
            result.pages = std::move(pages_);
        return result;
    }

    const QString& text_;
    const PageGeometry& geometry_;
    std::vector<PageSpan> pages_;
    int pageStart_ = 0;
    PageCut::Status status_ = PageCut::Status::Complete;
};

} // namespace

PageCut cutPages(const QString& text, const PageGeometry& geometry, const CutProgress& progress) {
    return Cutter(text, geometry).run(progress);
}

int viewPageEnd(const QTextDocument& doc, int fromPos, int viewportHeight) {
    const qreal margin = doc.documentMargin();
    PageFitter fitter(viewportHeight - 2 * margin, emptyLineHeight(doc.defaultFont()));
    QAbstractTextDocumentLayout* docLayout = doc.documentLayout();
    const int docEnd = doc.characterCount() - 1;
    fromPos = std::clamp(fromPos, 0, docEnd);

    std::vector<int> ends;
    QTextBlock block = doc.findBlock(fromPos);
    bool first = true;
    for (; block.isValid(); block = block.next()) {
        docLayout->blockBoundingRect(block); // lays the block out when it is not yet
        const QTextLayout* layout = block.layout();
        const int count = layout->lineCount();
        int i = 0;
        if (first) {
            const QTextLine at = layout->lineForTextPosition(fromPos - block.position());
            i = at.isValid() ? at.lineNumber() : 0;
            first = false;
        }
        const QString blockText = block.text();
        for (; i < count; ++i) {
            const QTextLine line = layout->lineAt(i);
            const bool lastInBlock = i + 1 == count;
            Line l;
            l.start = block.position() + line.textStart();
            l.height = lineHeight(line);
            if (lastInBlock) {
                l.breakAfter = block.next().isValid();
            } else {
                const int lineEnd = layout->lineAt(i + 1).textStart();
                l.breakAfter = lineEnd > 0 && isLineBreak(blockText.at(lineEnd - 1).unicode());
                l.hyphenated = lineEnd > 0 && isSoftHyphen(blockText.at(lineEnd - 1).unicode());
            }
            fitter.push(l, ends);
            if (!ends.empty())
                return std::max(ends.front(), fromPos);
        }
    }
    return docEnd;
}

} // namespace vel
