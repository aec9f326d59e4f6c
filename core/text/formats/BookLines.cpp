#include "core/text/formats/BookLines.h"

#include <QHash>
#include <QMultiHash>
#include <algorithm>
#include <iterator>

namespace vel {

namespace {
bool isXmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}
// Control characters and the stand-in for a dropped picture have no place in the text; line breaks and
// tabs are white space, not residue.
bool isResidue(char16_t c) {
    return (c < 0x20 && !isXmlSpace(c)) || c == 0xfffc || c == 0xfeff || (c >= 0x7f && c < 0xa0);
}
} // namespace

void finishBook(BookLines& lines, TextImportResult& result) {
    result.loaded.structured = true;
    if (lines.refused() || (lines.notes().refused())) {
        result.error = lines.refused() ? lines.refusal() : lines.notes().refusal();
        return;
    }
    result.loaded.text = lines.joined(&result.loaded.navigation);
    if (!lines.hasText())
        result.error = QStringLiteral("Във файла няма текст");
}

void BookLines::text(QStringView s) {
    const char16_t* p = reinterpret_cast<const char16_t*>(s.data());
    const char16_t* const end = p + s.size();
    while (p < end) {
        if (isXmlSpace(*p)) {
            pendingSpace_ = !current_.isEmpty() && current_.back() != u' ';
            ++p;
            continue;
        }
        const char16_t* run = p;
        while (p < end && !isXmlSpace(*p) && !isResidue(*p))
            ++p;
        if (p > run) {
            if (!take(p - run + 1))
                return;
            if (pendingSpace_)
                current_ += u' ';
            pendingSpace_ = false;
            current_.append(reinterpret_cast<const QChar*>(run), p - run);
        }
        while (p < end && isResidue(*p))
            ++p;
    }
}

bool BookLines::take(qsizetype chars) {
    if (refused())
        return false;
    size_ += chars;
    if (size_ + (notes_ ? notes_->size_ : 0) > kMaxBookChars) {
        refuse(QStringLiteral("Книгата е твърде дълга (повече от %1 милиона знака) и не беше прочетена")
                   .arg(kMaxBookChars / (1024 * 1024)));
        return false;
    }
    return true;
}

void BookLines::refuse(const QString& reason) {
    if (refusal_.isEmpty())
        refusal_ = reason;
    current_.clear();
}

void BookLines::literal(QStringView s) {
    text(s);
}

void BookLines::endLine() {
    pendingSpace_ = false;
    while (!current_.isEmpty() && current_.back().isSpace())
        current_.chop(1);
    if (current_.isEmpty())
        return;
    lines_ << current_;
    current_.clear();
    hasText_ = true;
    lineEnded(int(lines_.size()) - 1);
}

void BookLines::lineEnded(int index) {
    for (int open : {openHeading_, openNote_}) {
        if (open < 0)
            continue;
        Span& s = spans_[size_t(open)];
        if (s.first < 0)
            s.first = index;
        s.last = index;
    }
    for (int t : openTargets_)
        spans_[size_t(t)].first = spans_[size_t(t)].last = index;
    openTargets_.clear();
}

void BookLines::startHeading(int level) {
    endLine();
    openHeading_ = int(spans_.size());
    Span s;
    s.kind = Span::Kind::Heading;
    s.level = std::clamp(level, 1, 9);
    spans_.push_back(std::move(s));
}

void BookLines::endHeading() {
    endLine();
    openHeading_ = -1;
}

void BookLines::startNote(const QString& key) {
    endLine();
    openNote_ = int(spans_.size());
    Span s;
    s.kind = Span::Kind::Note;
    s.key = key;
    spans_.push_back(std::move(s));
}

void BookLines::endNote() {
    endLine();
    openNote_ = -1;
}

void BookLines::noteReference(const QString& key, const QString& marker) {
    text(marker);
    const int length = int(marker.trimmed().size());
    if (key.isEmpty() || length == 0 || current_.size() < length)
        return;
    Span s;
    s.kind = Span::Kind::Reference;
    s.key = key;
    s.first = s.last = int(lines_.size());
    s.column = int(current_.size()) - length;
    s.length = length;
    spans_.push_back(std::move(s));
}

void BookLines::target(const QString& key) {
    if (key.isEmpty())
        return;
    openTargets_.push_back(int(spans_.size()));
    Span s;
    s.kind = Span::Kind::Target;
    s.key = key;
    spans_.push_back(std::move(s));
}

void BookLines::qualifyTargets(const QString& document) {
    for (Span& s : spans_)
        if (s.kind == Span::Kind::Target && s.key.startsWith(u'#'))
            s.key.prepend(document);
}

void BookLines::adoptSpans(BookLines& other, const std::vector<int>& moved) {
    for (Span& s : other.spans_) {
        const auto map = [&moved](int i) { return i >= 0 && size_t(i) < moved.size() ? moved[size_t(i)] : -1; };
        s.first = map(s.first);
        s.last = map(s.last);
        if (s.first >= 0)
            spans_.push_back(std::move(s));
    }
    other.spans_.clear();
    other.openHeading_ = other.openNote_ = -1;
    other.openTargets_.clear();
    if (outline_.empty())
        outline_ = std::move(other.outline_);
}

void BookLines::blankLine() {
    endLine();
    if (!lines_.isEmpty() && !lines_.back().isEmpty())
        lines_ << QString();
}

BookLines* BookLines::notesTarget() {
    if (!notes_)
        notes_ = std::make_unique<BookLines>();
    return notes_.get();
}

void BookLines::flushNotes() {
    if (!notes_)
        return;
    notes_->endLine();
    if (notes_->lines_.isEmpty())
        return;
    endLine();
    std::vector<int> moved(size_t(notes_->lines_.size()), -1);
    for (qsizetype i = 0; i < notes_->lines_.size(); ++i) {
        QString& line = notes_->lines_[i];
        if (!line.isEmpty()) {
            moved[size_t(i)] = int(lines_.size());
            lines_ << std::move(line);
            hasText_ = true;
        }
    }
    notes_->lines_.clear();
    adoptSpans(*notes_, moved);
}

void BookLines::append(BookLines& other) {
    other.endLine();
    other.flushNotes();
    endLine();
    if (other.refused())
        refuse(other.refusal());
    if (!take(other.size_ + (other.notes_ ? other.notes_->size_ : 0)))
        return;
    std::vector<int> moved(size_t(other.lines_.size()), -1);
    for (qsizetype i = 0; i < other.lines_.size(); ++i) {
        QString& line = other.lines_[i];
        if (line.isEmpty() && (lines_.isEmpty() || lines_.back().isEmpty()))
            continue;
        moved[size_t(i)] = int(lines_.size());
        lines_ << std::move(line);
    }
    hasText_ = hasText_ || other.hasText_;
    other.lines_.clear();
    adoptSpans(other, moved);
}

QString BookLines::joined(BookNavigation* navigation) {
    endLine();
    flushNotes();
    while (!lines_.isEmpty() && lines_.back().isEmpty())
        lines_.removeLast();
    if (navigation) {
        std::vector<int> starts;
        starts.reserve(size_t(lines_.size()));
        int at = 0;
        for (const QString& line : std::as_const(lines_)) {
            starts.push_back(at);
            at += int(line.size()) + 2;
        }
        *navigation = navigationOf(starts);
    }
    return lines_.join(QStringLiteral("\r\n"));
}

BookNavigation BookLines::navigationOf(const std::vector<int>& starts) const {
    BookNavigation nav;
    const auto valid = [&](const Span& s) { return s.first >= 0 && size_t(s.last) < starts.size(); };
    const auto textOf = [&](const Span& s) {
        QStringList parts;
        for (int i = s.first; i <= s.last; ++i)
            parts << lines_[i];
        return parts.join(u' ').simplified();
    };
    QMultiHash<QString, const Span*> targets;
    // The notes of each key in text order, so that a book naming one note many times finds it each time by
    // a binary search, and shares its text.
    QHash<QString, std::vector<const Span*>> notes;
    QHash<const Span*, QString> noteTexts;
    for (const Span& s : spans_) {
        if (!valid(s))
            continue;
        if (s.kind == Span::Kind::Target)
            targets.insert(s.key, &s);
        else if (s.kind == Span::Kind::Note)
            notes[s.key].push_back(&s);
    }
    for (std::vector<const Span*>& sameKey : notes)
        std::stable_sort(sameKey.begin(), sameKey.end(),
                         [](const Span* a, const Span* b) { return a->first < b->first; });
    for (const OutlineItem& item : outline_) {
        const auto it = targets.constFind(item.target);
        if (it != targets.cend() && !item.heading.trimmed().isEmpty())
            nav.contents.push_back({std::clamp(item.level, 1, 9), item.heading.simplified(), starts[size_t((*it)->first)]});
    }
    const bool fromOutline = !nav.contents.empty();
    for (const Span& s : spans_) {
        if (!valid(s))
            continue;
        if (s.kind == Span::Kind::Heading && !fromOutline) {
            QString heading = textOf(s);
            if (heading.size() > 200)
                heading = firstWords(heading, 200);
            nav.contents.push_back({s.level, heading, starts[size_t(s.first)]});
        } else if (s.kind == Span::Kind::Reference) {
            // The note with the reference's key nearest after it, else the nearest before it.
            const auto sameKey = notes.constFind(s.key);
            if (sameKey == notes.cend())
                continue;
            const auto after = std::upper_bound(sameKey->begin(), sameKey->end(), s.first,
                                                [](int line, const Span* n) { return line < n->first; });
            const Span* best = after != sameKey->end() ? *after : *std::prev(after);
            auto text = noteTexts.find(best);
            if (text == noteTexts.end())
                text = noteTexts.insert(best, textOf(*best));
            nav.notes.push_back({starts[size_t(s.first)] + s.column, s.length, *text});
        }
    }
    std::stable_sort(nav.contents.begin(), nav.contents.end(),
                     [](const ContentsEntry& a, const ContentsEntry& b) { return a.position < b.position; });
    std::sort(nav.notes.begin(), nav.notes.end(),
              [](const NoteAnchor& a, const NoteAnchor& b) { return a.position < b.position; });
    return nav;
}

QString noteMarker(const QString& label) {
    const QString t = label.trimmed();
    if (t.startsWith(u'[') || t.startsWith(u'('))
        return t;
    return u'[' + t + u']';
}

} // namespace vel
