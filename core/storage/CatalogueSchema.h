#pragma once
// The catalogue's layout in one place: its table and field names, one record type, and what a new work's
// record starts with.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace vel::schema {

inline const QString kTable = QStringLiteral("Phones");
inline const QString kName = QStringLiteral("Name");     // title
inline const QString kNumber = QStringLiteral("Number"); // author, the name notwithstanding
inline const QString kFont = QStringLiteral("Font");
inline const QString kSize = QStringLiteral("Size");
inline const QString kStr = QStringLiteral("STR"); // page to open at
inline const QString kCvetList = QStringLiteral("CvetList");
inline const QString kCvetForma = QStringLiteral("CvetForma");
inline const QStringList kFields = {kName, kNumber, kFont, kSize, kStr, kCvetList, kCvetForma};

// Works whose record and work file are being put in place together; see CatalogueRecords.h.
inline const QString kPendingTable = QStringLiteral("Nezavarsheni");

// Facts a work file keeps about itself, so that a file without a record can be taken back.
inline const QString kFactTitle = QStringLiteral("title");
inline const QString kFactAuthor = QStringLiteral("author");
// The series the work belongs to and its number there, as the book gave them.
inline const QString kFactSeries = QStringLiteral("series");
inline const QString kFactSeriesNumber = QStringLiteral("seriesNumber");
// A work file's cover thumbnail (one row, column Image, JPEG or PNG bytes); older files have no table.
inline const QString kCoverTable = QStringLiteral("Cover");

// When each title was last read (ms since the epoch), for ordering the library; made at the first reading.
inline const QString kLastReadTable = QStringLiteral("LastRead");

// What a reader navigates a work by, kept in its work file beside the pages; positions are offsets in the
// work's text (its pages one after another). Files written before these tables existed still open.
inline const QString kContentsTable = QStringLiteral("Contents");
inline const QString kNotesTable = QStringLiteral("Notes");
inline const QString kMarksTable = QStringLiteral("Marks");
inline const QString kNavigationTablesSql = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS Contents (Level INTEGER, Heading TEXT, Position INTEGER);"
    "CREATE TABLE IF NOT EXISTS Notes (Position INTEGER, Length INTEGER, Body TEXT);"
    "CREATE TABLE IF NOT EXISTS Marks (Position INTEGER, Made TEXT, Words TEXT);");

// What a new work's record and its text panel start with: the panel's font after loading a plain text
// (a document is shown in Arial), its white page, and the main window's grey.
inline const QString kDefaultFont = QStringLiteral("Tahoma");
inline const QString kDocumentFont = QStringLiteral("Arial");
inline constexpr double kDefaultSize = 14;
inline constexpr std::int32_t kDefaultPageColor = 0xFFFFFF;
inline constexpr std::int32_t kDefaultWindowColor = 0xC0C0C0;
inline const QString kFirstPage = QStringLiteral("1");

} // namespace vel::schema

namespace vel {

// The seven fields of a record, as text.
struct CatalogueRecord {
    QString name;   // title
    QString number; // author
    QString font;
    QString size;
    QString str;
    QString cvetList;
    QString cvetForma;
    bool operator==(const CatalogueRecord&) const = default;
};

} // namespace vel
