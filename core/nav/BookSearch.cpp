#include "core/nav/BookSearch.h"


namespace vel {

namespace {

constexpr char16_t kSoftHyphen = 0x00AD;
constexpr qsizetype kContext = 40; // characters shown on either side of a hit, before rounding to words

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x00A0 || c == 0x2028 || c == 0x2029 ||
           c == u'\f' || c == u'\v' || (c >= 0x2000 && c <= 0x200A) || c == 0x202F;
}

QChar fold(QChar c) {
    // "ѝ" is "и" with a stress mark that writers put or leave out.
    if (c.unicode() == 0x045D || c.unicode() == 0x040D)
        return QChar(0x0438);
    return c.toCaseFolded();
}

} // namespace

BookSearch::BookSearch(const QString& words) {
    bool space = false;
    for (const QChar c : words) {
        if (c.unicode() == kSoftHyphen)
            continue;
        if (isSpace(c.unicode())) {
            space = !query_.isEmpty();
            continue;
        }
        if (space)
            query_ += u' ';
        space = false;
        query_ += fold(c);
    }
}

void BookSearch::append(QChar folded, QChar shown, qint64 position, int page) {
    folded_ += folded;
    shown_ += shown;
    origin_.push_back(position);
    pageOf_.push_back(page);
}

void BookSearch::addPage(int page, const QString& text, std::vector<SearchHit>& hits) {
    if (isEmpty())
        return;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = p[i];
        if (c == kSoftHyphen)
            continue;
        if (isSpace(c)) {
            if (!folded_.isEmpty() && folded_.back() != u' ')
                append(QChar(u' '), QChar(u' '), position_ + i, page);
            continue;
        }
        append(fold(QChar(c)), QChar(c), position_ + i, page);
    }
    position_ += text.size();

    const qsizetype n = query_.size();
    for (qsizetype at; (at = folded_.indexOf(query_, scanFrom_)) >= 0;) {
        pending_.push_back(at);
        scanFrom_ = at + n;
    }
    // A match may still begin in the last n - 1 characters and run on into the next page.
    scanFrom_ = std::max(scanFrom_, folded_.size() - n + 1);
    emitReady(hits, false);
    trim();
}

void BookSearch::finish(std::vector<SearchHit>& hits) {
    emitReady(hits, true);
}

void BookSearch::emitHit(qsizetype at, std::vector<SearchHit>& hits) const {
    const qsizetype end = at + query_.size(); // past the hit
    qsizetype from = std::max<qsizetype>(0, at - kContext);
    qsizetype to = std::min<qsizetype>(shown_.size(), end + kContext);
    // Whole words only, unless the text itself ends there.
    if (from > 0) {
        const qsizetype space = shown_.indexOf(u' ', from);
        if (space >= 0 && space < at)
            from = space + 1;
    }
    if (to < shown_.size()) {
        const qsizetype space = shown_.lastIndexOf(u' ', to);
        if (space >= end)
            to = space;
    }
    SearchHit hit;
    hit.position = origin_[size_t(at)];
    hit.length = int(origin_[size_t(end - 1)] - hit.position + 1);
    hit.page = pageOf_[size_t(at)];
    hit.context = shown_.mid(from, to - from).trimmed();
    hits.push_back(std::move(hit));
}

void BookSearch::emitReady(std::vector<SearchHit>& hits, bool all) {
    size_t done = 0;
    for (; done < pending_.size(); ++done) {
        if (!all && pending_[done] + query_.size() + kContext > shown_.size())
            break;
        emitHit(pending_[done], hits);
    }
    pending_.erase(pending_.begin(), pending_.begin() + qsizetype(done));
}

void BookSearch::trim() {
    // Keep what a hit still to be found or shown may need.
    qsizetype keep = scanFrom_ - kContext - 1;
    if (!pending_.empty())
        keep = std::min(keep, pending_.front() - kContext - 1);
    if (keep < 4096)
        return;
    folded_.remove(0, keep);
    shown_.remove(0, keep);
    origin_.erase(origin_.begin(), origin_.begin() + keep);
    pageOf_.erase(pageOf_.begin(), pageOf_.begin() + keep);
    scanFrom_ -= keep;
    for (qsizetype& at : pending_)
        at -= keep;
}

std::vector<SearchHit> searchWork(int pageCount, const std::function<QString(int page)>& pageText,
                                  const QString& words, int limit) {
    std::vector<SearchHit> hits;
    BookSearch search(words);
    if (search.isEmpty())
        return hits;
    for (int n = 1; n <= pageCount; ++n) {
        search.addPage(n, pageText(n), hits);
        if (limit > 0 && int(hits.size()) >= limit) {
            hits.resize(size_t(limit));
            return hits;
        }
    }
    search.finish(hits);
    if (limit > 0 && int(hits.size()) > limit)
        hits.resize(size_t(limit));
    return hits;
}

} // namespace vel
