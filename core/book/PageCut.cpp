#include "core/book/PageCut.h"

#include "core/AsyncTask.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>
#include <QtMath>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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

// Every line of a text is kept until its page is cut, so a line takes 8 bytes.
struct Line {
    int start = 0;                 // first character: a text offset or a document position
    std::uint16_t height = 0;      // the distance to the next line's top
    bool breakAfter : 1 = false;   // ends in a forced break: shown alone, an empty line follows it
    bool hyphenated : 1 = false;   // ends inside a word broken by a hyphen
    std::uint16_t wordAt : 14 = 0; // when hyphenated: where that word starts in the line, 0 when none

    void setHeight(int h) { height = std::uint16_t(std::clamp(h, 0, 0xffff)); }
    // The start of the hyphenated word, when a word comes before it. A word past what wordAt holds is
    // taken as none: the page then ends a line earlier, which is never wrong.
    int wordCut() const { return wordAt > 0 ? start + wordAt : -1; }
    void setWordCut(int at) { wordAt = at > start && at - start < (1 << 14) ? std::uint16_t(at - start) : 0; }
};
static_assert(sizeof(Line) == 8);

// Where a page ends; `midLine` when it ends before the last word of a hyphenated line, so that what follows
// is laid out anew from there.
struct PageEnd {
    int at = 0;
    bool midLine = false;
};

// Spaces a line may break after. A no-break space is none of them.
inline bool isBreakSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

// The start of the last word of the line [start, end) of `text`, which ends inside a word broken by a hyphen;
// -1 when the line holds no other word before it.
int lastWordStart(QStringView text, int start, int end) {
    int i = end;
    while (i > start && !isBreakSpace(text[i - 1].unicode()))
        --i;
    const int word = i;
    while (i > start && isBreakSpace(text[i - 1].unicode()))
        --i;
    return i > start ? word : -1;
}

// The one rule for where a page ends, fed line by line from the top of the page: take the lines that fit
// between the margins; a page may end after a line that ends in a forced break only when the empty line the
// break opens fits too; a page holds at least one line. A page never ends in a hyphen: when its last line
// would, the page ends before that line's last word, which opens the next page (the lines after it are then
// laid out anew), or, in a line of one word, a line earlier.
class PageFitter {
public:
    PageFitter(qreal available, qreal emptyLineHeight) : available_(available), emptyLine_(emptyLineHeight) {}

    // Adds the next line; every page this closes is appended to `ends`. After an end in mid-line the fitter
    // is empty and `line` is not taken: the lines from that end on are to be pushed.
    void push(const Line& line, std::vector<PageEnd>& ends) {
        while (!lines_.empty() && used_ + line.height > available_ + kEpsilon) {
            // The last line the page may end after ends in a hyphen: the page ends before its last word.
            const Line* last = splittable_ > endable_ ? &lines_[splittable_ - 1] : nullptr;
            if (last && last->wordCut() > last->start) {
                ends.push_back({last->wordCut(), true});
                lines_.clear();
                used_ = 0;
                endable_ = 0;
                splittable_ = 0;
                return;
            }
            // A page of nothing but hyphenated lines has to split a word after all.
            const std::size_t take = endable_ > 0 ? endable_ : std::max<std::size_t>(splittable_, 1);
            ends.push_back({take < lines_.size() ? lines_[take].start : line.start, false});
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

// Where the first run without a space or a line or paragraph break that goes on past `longer` characters,
// and past `to` less `longer`, starts in [from, to); -1 when there is none.
int unbrokenRunStart(QStringView text, int from, int to, int longer) {
    int run = from;
    for (int i = from; i < to && run + longer < to; ++i) {
        const char16_t c = text[i].unicode();
        if (isBreakSpace(c) || isLineBreak(c) || isParagraphBreak(c))
            run = i + 1;
        else if (i - run >= longer)
            return run;
    }
    return -1;
}

bool isDroppableResidue(const QString& text, int from) {
    if (text.size() - from > kMaxResidue)
        return false;
    for (int i = from; i < text.size(); ++i)
        if (!text.at(i).isSpace())
            return false;
    return true;
}

// What a thread's cuts learn and keep for its next ones: the break points of the words met and the widths
// of the characters of each font. A folder of small books cut one after another would otherwise start each
// book from nothing. A memo of pure functions of their keys, so sharing it changes no result.
struct ThreadMemory {
    Hyphenator::Buffers buffers;
    QHash<QString, std::shared_ptr<std::vector<float>>> advances; // by font key, -1 until measured
};

ThreadMemory& threadMemory() {
    thread_local ThreadMemory memory;
    return memory;
}

std::shared_ptr<std::vector<float>> threadAdvances(const QFont& font) {
    auto& all = threadMemory().advances;
    // A bound: a cut still under way keeps its own table.
    if (all.size() >= 16)
        all.clear();
    auto& table = all[font.key()];
    if (!table)
        table = std::make_shared<std::vector<float>>(0x10000, -1.0f);
    return table;
}

// The cutter's hyphenation of one paragraph, word by word as the lines need it.
//
// A page view lays its text out with a soft hyphen at every hyphenation point; the cutter must find the same
// lines without paying for all of them. Qt fills a line greedily: it takes the text up to each break
// opportunity in turn while that still fits, and ends the line at the last one that did. A soft hyphen
// adds an opportunity and no width until a line ends at it. So against the same paragraph without hyphens,
// where a line ends at opportunity b0 and the next opportunity b1 does not fit:
//  - a hyphen in a word before b0 fits, because the word's end fits and a hyphen is narrower than the two
//    letters at least that follow it, so the line does not end earlier;
//  - a hyphen after b1 cannot fit, since the text up to b1 already does not;
// and only the words between b0 and b1 decide where the line ends. Those are hyphenated, and the line is laid
// out again when that adds a break point, which gives the lines of the fully hyphenated paragraph. A forecast
// from the characters' widths hyphenates most of those words before the layout, so that few lines are
// laid out twice; it only saves time, it decides nothing.
class LazyHyphens {
public:
    LazyHyphens(const Hyphenator& h, const QFont& font, qreal lineWidth, qreal indent)
        : hyphenator_(h), metrics_(font), lineWidth_(lineWidth), indent_(indent),
          slack_(std::max<qreal>(2, lineWidth * 0.02)), advances_(threadAdvances(font)) {
        hyphenWidth_ = metrics_.horizontalAdvance(QChar(0x00AD));
        if (hyphenWidth_ <= 0)
            hyphenWidth_ = metrics_.horizontalAdvance(QLatin1Char('-'));
    }

    // `opening`: the text starts a paragraph, so its first line is indented.
    void start(QStringView para, bool opening) {
        para_ = para;
        opening_ = opening;
        breaks_.clear();
        words_.clear();
        latest_ = 1;
        windowGeneration_ = 1;
    }

    // Lets go of what lies well before `pos`, where no line will start again.
    void forget(int pos) {
        const int before = pos - 2 * Hyphenator::kMaxWord;
        breaks_.erase(breaks_.begin(), std::lower_bound(breaks_.begin(), breaks_.end(), before));
        words_.erase(words_.begin(), std::lower_bound(words_.begin(), words_.end(), Word{before, 0}));
    }

    // Hyphenates the words that the lines from `from`, a line start, to `to` are forecast to end in.
    void forecast(int from, int to) {
        qreal width = from == 0 && opening_ ? lineWidth_ - indent_ : lineWidth_;
        qreal x = 0;      // the line so far, to the end of its last word
        qreal spaces = 0; // the spaces after it
        int lineStart = from;
        int i = from;
        auto newLine = [&](int at) {
            i = lineStart = at;
            x = spaces = 0;
            width = lineWidth_;
        };
        while (i < to) {
            const char16_t c = para_[i].unicode();
            if (isBreakSpace(c)) {
                spaces += advance(c);
                ++i;
                continue;
            }
            if (isLineBreak(c)) {
                newLine(i + 1);
                continue;
            }
            // The word up to its end, or to where it is past the line's end.
            int j = i;
            qreal right = x + spaces;
            while (j < to && !isBreakSpace(para_[j].unicode()) && !isLineBreak(para_[j].unicode()) &&
                   right <= width + slack_)
                right += advance(para_[j++].unicode());
            if (right <= width - slack_) {
                x = right;
                spaces = 0;
                i = j;
                continue;
            }
            // Near the edge the forecast may be wrong either way: this word and the next are hyphenated.
            hyphenate(i, j);
            if (right <= width) {
                x = right;
                spaces = 0;
                i = j;
                continue;
            }
            if (right <= width + slack_)
                hyphenate(j, nextWordEnd(j, to));
            // The line ends at the last break point in the word that leaves room for the hyphen.
            int end = i;
            qreal at = x + spaces;
            int k = i;
            for (auto b = std::upper_bound(breaks_.begin(), breaks_.end(), i); b != breaks_.end() && *b < j;
                 ++b) {
                for (; k < *b; ++k)
                    at += advance(para_[k].unicode());
                if (at + hyphenWidth_ > width)
                    break;
                end = *b;
            }
            if (end == lineStart) {
                // A word wider than the line is broken anywhere.
                at = 0;
                end = i;
                do
                    at += advance(para_[end++].unicode());
                while (end < j && at + advance(para_[end].unicode()) <= width);
            }
            newLine(end);
        }
    }

    // Hyphenates the words that decide where a line ending at `end` ends. True when one of them has break
    // points that the laid-out window lacks: the line must be laid out again with them.
    bool settle(int start, int end) {
        return hyphenate(end, opportunityAfter(start, end)) > windowGeneration_;
    }

    // Where the first break opportunity after `end` lies at the latest, for a line from `start` to `end`:
    // where a line may break before a letter after spaces (others may come sooner). Words more than a few
    // lines' length on cannot fit on the line, and are not looked at.
    int opportunityAfter(int start, int end) const {
        const int size = std::min(int(para_.size()), end + 4 * (end - start) + 64);
        for (int i = end; i < size; ++i) {
            if (isLineBreak(para_[i].unicode()))
                return i;
            if (!isBreakSpace(para_[i].unicode()))
                continue;
            const QChar before = i > 0 ? para_[i - 1] : QChar();
            int j = i;
            while (j < size && isBreakSpace(para_[j].unicode()))
                ++j;
            // No break after an opening bracket or quote and the spaces after it.
            if (j == size || (para_[j].isLetter() && before.category() != QChar::Punctuation_Open &&
                              before != QChar(0x00A1) && before != QChar(0x00BF)))
                return j;
            i = j - 1;
        }
        return size;
    }

    // Puts into `text` the paragraph from `from` to `to` with soft hyphens at every break point found so
    // far, and their positions in `text` into `added`.
    void window(int from, int to, QString& text, std::vector<int>& added) {
        text.resize(0);
        added.clear();
        int copied = from;
        for (auto b = std::upper_bound(breaks_.begin(), breaks_.end(), from); b != breaks_.end() && *b < to;
             ++b) {
            text.append(para_.data() + copied, *b - copied);
            added.push_back(int(text.size()));
            text += QChar(0x00AD);
            copied = *b;
        }
        text.append(para_.data() + copied, to - copied);
    }

    // The window just made is the one laid out.
    void windowLaidOut() { windowGeneration_ = latest_; }

private:
    qreal advance(char16_t c) {
        float& a = (*advances_)[c];
        if (a < 0)
            a = float(metrics_.horizontalAdvance(QChar(c)));
        return a;
    }

    int nextWordEnd(int i, int to) const {
        to = std::min(to, i + 2 * Hyphenator::kMaxWord);
        while (i < to && isBreakSpace(para_[i].unicode()))
            ++i;
        while (i < to && !isBreakSpace(para_[i].unicode()) && !isLineBreak(para_[i].unicode()))
            ++i;
        return i;
    }

    // Finds the break points of the words that overlap [from, to) and were not yet looked at; returns the
    // newest generation among them.
    int hyphenate(int from, int to) {
        const int size = int(para_.size());
        int newest = 0;
        int i = from;
        // A word begun before `from`: from its start, unless it is too long to break anyway.
        while (i > 0 && i < size && from - i <= Hyphenator::kMaxWord && isWordChar(para_[i - 1]) &&
               isWordChar(para_[i]))
            --i;
        if (from - i > Hyphenator::kMaxWord)
            i = from;
        while (i < to) {
            if (!isWordChar(para_[i])) {
                ++i;
                continue;
            }
            const int start = i;
            while (i < size && i - start <= Hyphenator::kMaxWord && isWordChar(para_[i]))
                ++i;
            if (i - start > Hyphenator::kMaxWord ||
                (start == from && start > 0 && isWordChar(para_[start - 1]))) {
                while (i < to && isWordChar(para_[i])) // part of a word too long to break
                    ++i;
                continue;
            }
            auto word = std::lower_bound(words_.begin(), words_.end(), Word{start, 0});
            if (word == words_.end() || word->start != start) {
                found_.clear();
                hyphenationPoints(para_.sliced(start, i - start), hyphenator_, buffers_, found_);
                // A word without break points lays out the same in every window.
                word = words_.insert(word, Word{start, found_.empty() ? 1 : ++latest_});
                for (int& b : found_)
                    b += start;
                breaks_.insert(std::upper_bound(breaks_.begin(), breaks_.end(), start), found_.begin(),
                               found_.end());
            }
            newest = std::max(newest, word->generation);
        }
        return newest;
    }

    const Hyphenator& hyphenator_;
    QFontMetricsF metrics_;
    qreal lineWidth_;
    qreal indent_;
    qreal slack_; // how far the forecast may be out over a line: kerning, rounding
    qreal hyphenWidth_ = 0;
    std::shared_ptr<std::vector<float>> advances_; // measured as met
    Hyphenator::Buffers& buffers_ = threadMemory().buffers;
    std::vector<int> found_;

    // A word already hyphenated, and when: a window laid out before its generation lacks its hyphens.
    struct Word {
        int start = 0;
        int generation = 0;
        bool operator<(const Word& other) const { return start < other.start; }
    };

    QStringView para_;
    bool opening_ = true;
    std::vector<int> breaks_;  // positions in the paragraph a soft hyphen goes before, rising
    std::vector<Word> words_;  // by their start
    int latest_ = 1;           // the newest generation
    int windowGeneration_ = 1; // the newest generation in the window laid out
};

// Lays paragraphs out into lines as a text document would; one per thread.
class ParagraphLayouter {
public:
    ParagraphLayouter(QStringView text, const PageGeometry& g, std::function<bool(int done)> poll)
        : text_(text), typesetting_(g.typesetting),
          lineWidth_(std::max<qreal>(g.viewportWidth - 2 * g.documentMargin, 0)), poll_(std::move(poll)) {
        const QFont font = threadFont(g.font);
        layout_.setFont(font);
        layout_.setCacheEnabled(false);
        if (const Hyphenator* h = typesetting_.hyphenate ? Hyphenator::bulgarian() : nullptr) {
            hyphens_.emplace(*h, font, lineWidth_, typesetting_.indent);
            probe_.setFont(font);
            probe_.setCacheEnabled(false);
        }
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

    // Appends the lines of the rest of a paragraph from `from`, a line's start inside it, until a line would
    // start where `resumes` says the lines found before go on, or `maxLines` are laid out. Returns where to
    // go on laying out anew after those, or -1 when the lines found before go on (past the paragraph's end
    // when it was laid out to its end, where `resumes` was told so).
    int relay(int from, const std::function<bool(int start)>& resumes, std::vector<Line>& out, int maxLines) {
        const int size = int(text_.size());
        if (from < relaidFrom_ || from >= relaidEnd_) { // a paragraph cut at several pages is looked up once
            relaidFrom_ = from;
            relaidEnd_ = from;
            while (relaidEnd_ < size && !isParagraphBreak(text_[relaidEnd_].unicode()))
                ++relaidEnd_;
        }
        resumed_ = false;
        continueAt_ = -1;
        maxLines_ = maxLines;
        layParagraph(from, relaidEnd_, relaidEnd_ < size, out, false, &resumes);
        if (continueAt_ < 0 && !resumed_)
            resumes(relaidEnd_ + 1);
        return continueAt_;
    }

private:
    bool tick(int pos) { return pos - polled_ < kProgressStep || poll_(pos - std::exchange(polled_, pos)); }

    qreal widthOfLine(bool opening) const {
        // Only a paragraph's very first line is indented.
        return opening ? std::max<qreal>(lineWidth_ - typesetting_.indent, 0) : lineWidth_;
    }

    // Where a line from `start`, which ended at `end` without the hyphens found since, ends with them: laid
    // out alone up to the break opportunity after the words that decide it.
    int probe(int start, int end) {
        hyphens_->window(start, hyphens_->opportunityAfter(start, end), probeText_, probeAdded_);
        probe_.setText(probeText_);
        probe_.beginLayout();
        QTextLine line = probe_.createLine();
        line.setLineWidth(widthOfLine(opening_ && start == 0));
        const int ends = line.textStart() + line.textLength();
        probe_.endLayout();
        return start + ends -
               int(std::lower_bound(probeAdded_.begin(), probeAdded_.end(), ends) - probeAdded_.begin());
    }

    // Lays out [from, to), a paragraph, or its rest when not `opening`; stops before a line that `resumes`.
    bool layParagraph(int from, int to, bool breakAfterLast, std::vector<Line>& out, bool opening = true,
                      const std::function<bool(int start)>* resumes = nullptr) {
        const QStringView para = text_.sliced(from, to - from);
        const int size = int(para.size());
        opening_ = opening;
        const QTextOption option =
            textOption(typesetting_, para.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        layout_.setTextOption(option);
        if (hyphens_) {
            hyphens_->start(para, opening);
            probe_.setTextOption(option);
        }

        // Lines break greedily, so a line depends only on the text from its own start: a long paragraph is
        // laid out a piece at a time, and the last two lines of a piece, which may have seen its cut-off end,
        // are laid out again at the start of the next piece. A book's piece holds the soft hyphens found so
        // far; positions in it map back to the paragraph.
        int lineStart = 0;
        // The rest laid out anew mostly meets the lines found before within a few lines: it starts small.
        int chunk = resumes ? kChunkChars / 64 : kChunkChars;
        int runPiece = kUnbrokenRunChars;
        for (;;) {
            bool partial = size - lineStart > chunk;
            int end = partial ? lineStart + chunk : size;
            if (const int run = unbrokenRunStart(para, lineStart, end, runPiece); run >= 0) {
                end = run + runPiece;
                if (para[end - 1].isHighSurrogate())
                    --end;
                partial = true;
            } else if (partial) {
                int k = end;
                while (k > lineStart + chunk / 2 && !para[k - 1].isSpace())
                    --k;
                if (k > lineStart + chunk / 2)
                    end = k;
                else if (para[end - 1].isHighSurrogate())
                    --end;
            }
            QStringView piece = para.sliced(lineStart, end - lineStart);
            if (hyphens_) {
                hyphens_->forecast(lineStart, end);
                hyphens_->window(lineStart, end, window_, added_);
                hyphens_->windowLaidOut();
                piece = window_;
            }
            auto original = [&](int p) {
                return lineStart + p -
                       int(std::lower_bound(added_.begin(), added_.end(), p) - added_.begin());
            };
            layout_.setText(QString::fromRawData(piece.data(), piece.size()));
            lines_.clear();
            layout_.beginLayout();
            for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
                line.setLineWidth(widthOfLine(opening && lineStart == 0 && line.lineNumber() == 0));
                lines_.push_back({line.textStart() + line.textLength(), lineHeight(line)});
            }
            layout_.endLayout();

            const std::size_t count = lines_.size();
            const std::size_t kept = partial ? count - std::min<std::size_t>(count, 2) : count;
            if (kept == 0) { // too few lines to keep any: take a longer piece
                chunk *= 2;
                runPiece *= 2;
                continue;
            }
            bool relaid = false;
            int start = lineStart;
            for (std::size_t i = 0; i < kept; ++i) {
                const int lineEnd = lines_[i].first; // in the piece
                const bool last = !partial && i + 1 == count;
                if (resumes && start > 0 && (*resumes)(from + start)) {
                    resumed_ = true;
                    return true;
                }
                if (resumes && maxLines_-- == 0) {
                    continueAt_ = from + start;
                    return true;
                }
                if (hyphens_ && !last) {
                    const int next = original(lineEnd);
                    if (hyphens_->settle(start, next) && probe(start, next) != next) {
                        // The words at its end break otherwise: lay out again from this line.
                        lineStart = start;
                        relaid = true;
                        break;
                    }
                }
                Line line;
                line.start = from + start;
                line.setHeight(lines_[i].second);
                if (last) {
                    line.breakAfter = breakAfterLast;
                } else {
                    // A line ends where the next begins: in a forced break, or in a hyphen.
                    line.breakAfter = isLineBreak(piece[lineEnd - 1].unicode());
                    line.hyphenated = isSoftHyphen(piece[lineEnd - 1].unicode());
                    if (line.hyphenated) {
                        const int cut = lastWordStart(para, start, original(lineEnd));
                        if (cut >= 0)
                            line.setWordCut(from + cut);
                    }
                }
                out.push_back(line);
                start = original(lineEnd);
            }
            if (relaid)
                continue;
            if (!partial)
                return tick(from + size);
            lineStart = start;
            if (resumes)
                chunk = std::min(2 * chunk, kChunkChars);
            if (hyphens_)
                hyphens_->forget(lineStart);
            if (!tick(from + lineStart))
                return false;
        }
    }

    QStringView text_;
    const Typesetting& typesetting_;
    qreal lineWidth_;
    std::function<bool(int done)> poll_;
    int polled_ = 0;
    QTextLayout layout_;
    std::vector<std::pair<int, int>> lines_; // of the piece laid out: where each ends in it, its height
    std::optional<LazyHyphens> hyphens_;     // when the typesetting hyphenates
    QString window_;
    std::vector<int> added_; // positions of the soft hyphens in window_
    QTextLayout probe_;
    QString probeText_;
    std::vector<int> probeAdded_;
    bool opening_ = true; // the paragraph being laid out starts at its beginning
    int relaidFrom_ = 0;  // the paragraph rest last laid out anew, and where its paragraph ends
    int relaidEnd_ = 0;
    bool resumed_ = false; // the last relay met the lines found before
    int continueAt_ = -1;  // where it stopped short of that
    int maxLines_ = 0;
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
        const qreal available = geometry_.viewportHeight - 2 * geometry_.documentMargin;
        const int lineHeight = emptyLineHeight(geometry_.font);

        std::vector<std::vector<Line>> lines(count);
        std::atomic<int> done{0};
        std::atomic<qint64> linesDone{0};
        std::atomic<bool> cancelled{false};
        const int linesPerPage = std::max(1, int((available + kEpsilon) / std::max(1, lineHeight)));
        // Whichever share has news reports it; one at a time, and a share that finds another reporting goes
        // on laying out rather than wait, since the next step reports again.
        std::mutex reporting;
        auto report = [&] {
            if (!cancelled && progress && !progress(done, size))
                cancelled = true;
            if (!cancelled && overLimit(done, linesDone, linesPerPage, size))
                cancelled = true;
            return !cancelled;
        };
        auto poll = [&](std::size_t k) {
            return [&, k, seen = std::size_t(0)](int step) mutable {
                linesDone += qint64(lines[k].size() - std::exchange(seen, lines[k].size()));
                done += step;
                if (std::unique_lock lock(reporting, std::try_to_lock); lock.owns_lock())
                    return report();
                return !cancelled;
            };
        };
        std::vector<QFuture<void>> shares;
        for (std::size_t k = 1; k < count; ++k)
            shares.push_back(startTask([&, k] {
                ParagraphLayouter(text_, geometry_, poll(k)).run(points[k], points[k + 1], lines[k]);
            }));
        ParagraphLayouter(text_, geometry_, poll(0)).run(points[0], points[1], lines[0]);
        for (QFuture<void>& share : shares)
            share.waitForFinished(); // a share no pool thread has taken yet is laid out here
        if (status_ == PageCut::Status::TooManyPages)
            return finish(result);
        if (cancelled || !report()) {
            result.status = PageCut::Status::Cancelled;
            return result;
        }

        // The lines in order; after a page that ends in mid-line, the rest of its paragraph is laid out anew
        // from there, a page's lines at a time, until its lines meet those found before.
        PageFitter fitter(available, lineHeight);
        ParagraphLayouter relayer(text_, geometry_, [](int) { return true; });
        std::size_t part = 0, next = 0; // the next line found before
        auto found = [&]() -> const Line* {
            while (part < lines.size() && next >= lines[part].size()) {
                if (part > 0) // a page never reaches two shares back
                    std::vector<Line>().swap(lines[part - 1]);
                ++part;
                next = 0;
            }
            return part < lines.size() ? &lines[part][next] : nullptr;
        };
        // Back to the first line found before that starts after `at`.
        auto seek = [&](int at) {
            while (part > 0 && !lines[part - 1].empty() &&
                   (part == lines.size() || lines[part].empty() || lines[part].front().start > at))
                --part;
            if (part < lines.size())
                next = std::size_t(std::upper_bound(lines[part].begin(), lines[part].end(), at,
                                                    [](int p, const Line& l) { return p < l.start; }) -
                                   lines[part].begin());
        };
        auto resumes = [&](int start) {
            const Line* l = found();
            for (; l && l->start < start; l = found())
                ++next;
            return l && l->start == start;
        };
        std::vector<Line> relaid;
        std::size_t nextRelaid = 0;
        int relayAt = -1;
        std::vector<PageEnd> ends;
        for (;;) {
            if (nextRelaid == relaid.size() && relayAt >= 0) {
                relaid.clear();
                nextRelaid = 0;
                relayAt = relayer.relay(relayAt, resumes, relaid, linesPerPage + 1);
            }
            Line line;
            if (nextRelaid < relaid.size()) {
                line = relaid[nextRelaid++];
            } else if (const Line* l = found()) {
                line = *l;
                ++next;
            } else {
                break;
            }
            fitter.push(line, ends);
            for (const PageEnd& end : ends) {
                if (!closePage(end.at))
                    return finish(result);
                if (end.midLine) {
                    relaid.clear();
                    nextRelaid = 0;
                    seek(end.at);
                    relayAt = end.at;
                }
            }
            ends.clear();
        }
        closePage(size);
        return finish(result);
    }

private:
    // Whether the text is sure to need more pages than a work may hold, judged from the lines laid out so
    // far (pages hold at most `linesPerPage`); then it records the share that would fit. The first
    // sixteenth of the text decides only a clear excess; from a quarter on a slight one is enough.
    bool overLimit(int done, qint64 linesDone, int linesPerPage, int size) {
        if (done < size / 16 || done <= 0 || linesDone <= 0)
            return false;
        const double estimate = double(linesDone) / linesPerPage * size / done;
        const double margin = done < size / 4 ? 1.10 : 1.02;
        if (estimate <= kMaxPages * margin)
            return false;
        status_ = PageCut::Status::TooManyPages;
        fitsPercent_ = int(100.0 * kMaxPages / estimate);
        return true;
    }

    // Stores the page ending at `end`; false once cutting stops.
    bool closePage(int end) {
        if (pages_.size() == std::size_t(kMaxPages)) {
            status_ = PageCut::Status::TooManyPages;
            fitsPercent_ = int(100 * qint64(pageStart_) / std::max<qsizetype>(1, text_.size()));
            return false;
        }
        pages_.push_back({pageStart_, end - pageStart_});
        pageStart_ = end;
        return end < text_.size() && !isDroppableResidue(text_, end);
    }

    PageCut finish(PageCut& result) {
        result.status = status_;
        if (status_ == PageCut::Status::Complete)
            result.pages = std::move(pages_);
        if (status_ == PageCut::Status::TooManyPages)
            result.fitsPercent = fitsPercent_;
        return result;
    }

    const QString& text_;
    const PageGeometry& geometry_;
    std::vector<PageSpan> pages_;
    int pageStart_ = 0;
    PageCut::Status status_ = PageCut::Status::Complete;
    int fitsPercent_ = 100;
};

} // namespace

bool hasUnbrokenRun(QStringView text) {
    return unbrokenRunStart(text, 0, int(text.size()), kUnbrokenRunChars) >= 0;
}

PageCut cutPages(const QString& text, const PageGeometry& geometry, const CutProgress& progress) {
    return Cutter(text, geometry).run(progress);
}

std::vector<PageSpan> cutOpeningPages(const QString& text, int from, const PageGeometry& geometry,
                                      int count) {
    from = std::clamp(from, 0, int(text.size()));
    // Only the last pages of a beginning can differ from the whole's (a page's end looks one line on), so a
    // beginning is long enough once it holds two pages more than wanted.
    for (qsizetype take = 16 * 1024;; take *= 2) {
        const bool whole = from + take >= text.size();
        PageCut cut = cutPages(text.mid(from, whole ? -1 : take), geometry);
        if (whole || cut.pages.size() >= std::size_t(count) + 2) {
            cut.pages.resize(std::min(cut.pages.size(), std::size_t(std::max(0, count))));
            for (PageSpan& page : cut.pages)
                page.start += from;
            return cut.pages;
        }
    }
}

int viewPageEnd(const QTextDocument& doc, int fromPos, int viewportHeight) {
    const qreal margin = doc.documentMargin();
    PageFitter fitter(viewportHeight - 2 * margin, emptyLineHeight(doc.defaultFont()));
    QAbstractTextDocumentLayout* docLayout = doc.documentLayout();
    const int docEnd = doc.characterCount() - 1;
    fromPos = std::clamp(fromPos, 0, docEnd);

    std::vector<PageEnd> ends;
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
            l.setHeight(lineHeight(line));
            if (lastInBlock) {
                l.breakAfter = block.next().isValid();
            } else {
                const int lineEnd = layout->lineAt(i + 1).textStart();
                l.breakAfter = lineEnd > 0 && isLineBreak(blockText.at(lineEnd - 1).unicode());
                l.hyphenated = lineEnd > 0 && isSoftHyphen(blockText.at(lineEnd - 1).unicode());
                if (l.hyphenated) {
                    const int cut = lastWordStart(blockText, line.textStart(), lineEnd);
                    if (cut >= 0)
                        l.setWordCut(block.position() + cut);
                }
            }
            fitter.push(l, ends);
            if (!ends.empty())
                return std::max(ends.front().at, fromPos);
        }
    }
    return docEnd;
}

} // namespace vel
