#pragma once
// Writes a work's pages into a temporary file beside the final one, in one transaction, and puts it in
// place only when complete: no half-written work file ever carries a title.

#include "core/nav/Navigation.h"
#include "core/storage/Database.h"
#include "core/storage/FileOps.h"

#include <QString>

namespace vel {

class WorkFileBuilder {
public:
    enum class Failure {
        None,
        InvalidName,  // the title cannot name a file in the library folder
        Exists,       // a work file of that name exists (checked at begin and again at commit)
        TooManyPages, // more than 32767 pages
        Io,           // the folder or disk refused
        NotStarted,
    };

    WorkFileBuilder() = default;
    ~WorkFileBuilder(); // abandons an uncommitted build
    WorkFileBuilder(const WorkFileBuilder&) = delete;
    WorkFileBuilder& operator=(const WorkFileBuilder&) = delete;

    enum class Placement {
        New,     // commit puts the file in place, never over another
        Replace, // a rebuild: commit replaces the old file, which stays readable until then
        Staged,  // commit only finishes the file; it stays locked under its temporary name for addWork
    };
    bool begin(const QString& libraryDir, const QString& name, Placement placement);
    bool begin(const QString& libraryDir, const QString& name, bool replaceExisting = false) {
        return begin(libraryDir, name, replaceExisting ? Placement::Replace : Placement::New);
    }
    // Appends the next page, labelled "1", "2", ...
    bool appendPage(const QString& text);
    // Keeps a fact about the work in its file (title, author, layout, ...); a later value replaces an
    // earlier one. Part of the same transaction as the pages.
    bool setFact(const QString& name, const QString& value);
    // Keeps the work's cover thumbnail (see coverThumbnail), in the same transaction. A rebuild that sets
    // none keeps the old file's cover, author and series.
    bool setCover(const QByteArray& image);
    // The work's contents and notes, positions in the text being cut. A rebuild that sets none keeps the
    // old file's; a rebuild always keeps the reader's marks (the text is the same, only its pages differ).
    bool setNavigation(const BookNavigation& navigation);
    bool commit();
    // Drops everything written; the final name is left as it was.
    void abandon();

    bool isActive() const { return db_.isOpen(); }
    // After a staged commit: the finished file, still locked, until abandon().
    QString stagedPath() const { return db_.isOpen() ? QString() : temp_.path(); }
    int pageCount() const { return pages_; }
    const QString& finalPath() const { return finalPath_; }
    Failure failure() const { return failure_; }
    // A Bulgarian sentence describing the last failure.
    const QString& errorString() const { return error_; }

private:
    bool fail(Failure f, const QString& message);
    bool writeNavigation(const std::vector<ContentsEntry>& contents, const std::vector<NoteAnchor>& notes);
    bool carryOver();

    Database db_;
    Statement insert_;
    QString libraryDir_;
    QString finalPath_;
    fileops::LockedTemp temp_;
    Placement placement_ = Placement::New;
    int pages_ = 0;
    bool navigationSet_ = false;
    bool coverSet_ = false;
    Failure failure_ = Failure::None;
    QString error_;
};

} // namespace vel
