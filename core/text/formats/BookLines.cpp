#include "core/text/formats/BookLines.h"

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
    result.loaded.text = lines.joined();
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
    for (QString& line : notes_->lines_) {
        if (!line.isEmpty()) {
            lines_ << std::move(line);
            hasText_ = true;
        }
    }
    notes_->lines_.clear();
}

void BookLines::append(BookLines& other) {
    other.endLine();
    other.flushNotes();
    endLine();
    if (other.refused())
        refuse(other.refusal());
    if (!take(other.size_ + (other.notes_ ? other.notes_->size_ : 0)))
        return;
    for (QString& line : other.lines_) {
        if (line.isEmpty() && (lines_.isEmpty() || lines_.back().isEmpty()))
            continue;
        lines_ << std::move(line);
    }
    hasText_ = hasText_ || other.hasText_;
    other.lines_.clear();
}

QString BookLines::joined() {
    endLine();
    flushNotes();
    while (!lines_.isEmpty() && lines_.back().isEmpty())
        lines_.removeLast();
    return lines_.join(QStringLiteral("\r\n"));
}

QString noteMarker(const QString& label) {
    const QString t = label.trimmed();
    if (t.startsWith(u'[') || t.startsWith(u'('))
        return t;
    return u'[' + t + u']';
}

} // namespace vel
