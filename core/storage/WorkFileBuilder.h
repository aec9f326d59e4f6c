#pragma once
// Writes a work's pages into a temporary file beside the final one, in one transaction, and puts it in
// place only when complete: no half-written work file ever carries a title.

#include "core/Result.h"
#include "core/nav/Navigation.h"
#include "core/storage/Database.h"
#include "core/storage/FileOps.h"

#include <QString>

namespace vel {

class WorkFileBuilder {
public:
    WorkFileBuilder() = default;
    ~WorkFileBuilder(); // abandons an uncommitted build
    WorkFileBuilder(const WorkFileBuilder&) = delete;
    WorkFileBuilder& operator=(const WorkFileBuilder&) = delete;

    enum class Placement {
        New,     // commit puts the file in place, never over another
        Replace, // a rebuild: commit replaces the old file, which stays readable until then
        Staged,  // commit only finishes the file; it stays locked under its temporary name for addWork
    };
    // Failures: Invalid (the title cannot name a file in the library folder, or nothing was begun), Exists (a
    // work file of that name exists; checked at begin and again at commit), TooLarge (more than 32767
    // pages), DiskFull or Io (the folder or disk refused).
    [[nodiscard]] Result<> begin(const QString& libraryDir, const QString& name, Placement placement);
    [[nodiscard]] Result<> begin(const QString& libraryDir, const QString& name, bool replaceExisting = false) {
        return begin(libraryDir, name, replaceExisting ? Placement::Replace : Placement::New);
    }
    // Appends the next page, labelled "1", "2", ...
    [[nodiscard]] Result<> appendPage(const QString& text);
    // Keeps a fact about the work in its file (title, author, layout, ...); a later value replaces an
    // earlier one. Part of the same transaction as the pages.
    [[nodiscard]] Result<> setFact(const QString& name, const QString& value);
    // Keeps the work's cover thumbnail (see coverThumbnail), in the same transaction. A rebuild that sets
    // none keeps the old file's cover, author and series.
    [[nodiscard]] Result<> setCover(const QByteArray& image);
    // The work's contents and notes, positions in the text being cut. A rebuild that sets none keeps the
    // old file's; a rebuild always keeps the reader's marks (the text is the same, only its pages differ).
    [[nodiscard]] Result<> setNavigation(const BookNavigation& navigation);
    [[nodiscard]] Result<> commit();
    // Drops everything written; the final name is left as it was.
    void abandon();

    bool isActive() const { return db_.isOpen(); }
    // After a staged commit: the finished file, still locked, until abandon().
    QString stagedPath() const { return db_.isOpen() ? QString() : temp_.path(); }
    int pageCount() const { return pages_; }
    const QString& finalPath() const { return finalPath_; }
    // The last failure, as the call that failed returned it.
    const Failure& failure() const { return failure_; }

private:
    Failure fail(FailureKind kind, const QString& message);
    Result<> writeNavigation(const std::vector<ContentsEntry>& contents, const std::vector<NoteAnchor>& notes);
    Result<> carryOver();

    Database db_;
    Statement insert_;
    QString libraryDir_;
    QString finalPath_;
    fileops::LockedTemp temp_;
    Placement placement_ = Placement::New;
    int pages_ = 0;
    bool navigationSet_ = false;
    bool coverSet_ = false;
    Failure failure_;
};

} // namespace vel
