#pragma once
// Finding words in a work's text, page after page: case does not matter (Cyrillic and Latin), any run of
// white space or line breaks matches any other, soft hyphens are not there, and a phrase may run over a
// page break.

#include <QString>
#include <functional>
#include <vector>

namespace vel {

struct SearchHit {
    qint64 position = 0; // in the work's text
    int length = 0;      // in the work's text, line breaks and soft hyphens included
    int page = 0;        // the page the hit starts on
    QString context;     // the hit with a few words around it, on one line
    bool operator==(const SearchHit&) const = default;
};

class BookSearch {
public:
    explicit BookSearch(const QString& words);

    // Nothing to look for: only white space was given.
    bool isEmpty() const { return query_.isEmpty(); }

    // Feeds the next page (pages in order from the first); hits that are complete are added to `hits`.
    void addPage(int page, const QString& text, std::vector<SearchHit>& hits);
    // The text has ended: the hits still waiting for the words after them are added.
    void finish(std::vector<SearchHit>& hits);

private:
    void append(QChar folded, QChar shown, qint64 position, int page);
    void emitHit(qsizetype at, std::vector<SearchHit>& hits) const;
    void emitReady(std::vector<SearchHit>& hits, bool all);
    void trim();

    QString query_;
    // The text read so far and not yet dropped, with white space made one space and soft hyphens left out:
    // folded for matching, as written for showing, and where each character came from.
    QString folded_;
    QString shown_;
    std::vector<qint64> origin_;
    std::vector<int> pageOf_;
    qint64 position_ = 0; // of the next page in the work's text
    qsizetype scanFrom_ = 0;
    std::vector<qsizetype> pending_; // hits waiting for the words after them
};

// Every hit in a work of `pageCount` pages, read through `pageText`, in book order; at most `limit` of them
// when it is positive.
std::vector<SearchHit> searchWork(int pageCount, const std::function<QString(int page)>& pageText,
                                  const QString& words, int limit = 0);

} // namespace vel
