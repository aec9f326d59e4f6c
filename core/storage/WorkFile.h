#pragma once
// A stored work opened for reading: its pages by position, each in constant time regardless of length.

#include "core/Result.h"
#include "core/nav/Navigation.h"
#include "core/storage/Database.h"

#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace vel {

class WorkFile {
public:
    struct Page {
        QString label; // the page number as stored
        QString text;
        bool ok = true; // false when n is out of range or the file could not be read
    };

    // Opens the work file at path read-only; nullptr with a Bulgarian reason in *error when it is missing or
    // is not a work file.
    static std::unique_ptr<WorkFile> open(const QString& path, QString* error = nullptr);

    int pageCount() const { return count_; }
    // Page n (1-based) is the n-th record in stored order.
    Page page(int n);

    const QString& path() const { return db_.path(); }

    // A fact the work file keeps about itself (see WorkFileBuilder::setFact); empty when it has none,
    // as in files written before facts were kept.
    QString fact(const QString& name) const;
    // The cover thumbnail the work was stored with; empty when it has none.
    QByteArray cover();
    const std::map<QString, QString>& facts() const { return facts_; }

    // What the reader navigates by; empty for files without it.
    std::vector<ContentsEntry> contents();
    std::vector<NoteAnchor> notes();
    std::vector<BookMark> marks();

    // Where each page starts in the work's text, and the text's length after the last: pageCount() + 1
    // values, read once.
    const std::vector<qint64>& pageStarts();
    // The page (1-based) holding `position`; positions past the end are on the last page.
    int pageAt(qint64 position);

    // The reader's marks are the one thing written into a work file after it was built; a file that refuses
    // gives a Bulgarian reason.
    [[nodiscard]] static Result<> addMark(const QString& path, BookMark& mark);
    [[nodiscard]] static Result<> removeMark(const QString& path, qint64 id);

private:
    WorkFile() = default;

    Database db_;
    Statement byRowid_;
    QString textColumn_;
    std::vector<qint64> pageStarts_;
    int count_ = 0;
    std::map<QString, QString> facts_;
    // Empty when rowids run 1..count without gaps (every file this program writes); otherwise the stored
    // order, read once at open.
    std::vector<qint64> rowids_;
};

} // namespace vel
