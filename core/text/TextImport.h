#pragma once
// Bringing outside texts in: plain-text files in whatever encoding they were written, and word-processor
// documents through a command-line extractor. Everything here is pure and reentrant (no widgets, no shared
// state), so a window can run it in a worker thread while it stays responsive.

#include "core/nav/Navigation.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace vel {

struct LoadedText {
    QString text;     // line breaks are CR LF
    QString encoding; // the encoding the bytes were read in, e.g. "UTF-8", "windows-1251", "KOI8-R"
    // What a book knows of itself; empty for plain texts.
    QString title{};
    QString author{};
    QString innerName{}; // the text's own file name when it came out of an archive
    QString series{};    // the series the book belongs to, and its number there
    QString seriesNumber{};
    QByteArray cover{};      // the cover image's bytes as the book holds them
    bool structured = false; // paragraphs already whole: no line joining
    // A structured book's contents and notes, with positions in `text`.
    BookNavigation navigation{};
    // UTF-8 with a few bytes that are not: those became U+FFFD, and the reader should be told.
    bool damaged = false;
};

// Either the loaded text or, when `error` is not empty, a message for the user (Bulgarian, lines joined by
// CR LF) and no text.
struct TextImportResult {
    LoadedText loaded;
    QString error;

    bool ok() const { return error.isEmpty(); }
    static TextImportResult failed(QString message) { return {{}, std::move(message)}; }
};

// A reason followed by the file it concerns, on a line of its own.
QString withPath(const QString& reason, const QString& path);

// Files larger than this are not texts anyone reads in a book.
inline constexpr qint64 kMaxTextFileBytes = qint64(512) * 1024 * 1024;

// What is known of a file before a byte of it is read: it must exist, be a plain file, and not be too big
// (a device such as /dev/zero would never end). Nothing when it may be read.
std::optional<TextImportResult> refuseBeforeReading(const QString& path);

// Reads a plain-text file: detects its encoding, refuses binary files, converts every line end to CR LF.
TextImportResult loadTextFile(const QString& path);

// The decoding part of loadTextFile, for bytes already in memory. Encoding detection in this order: a byte
// order mark (UTF-8, UTF-16, UTF-32), UTF-16 without a mark, valid UTF-8, then a single-byte Cyrillic code
// page: windows-1251 unless KOI8-R or IBM866 reads plainly better as Bulgarian. `error` is a short reason
// without the file's path when the bytes are not a text.
TextImportResult decodeText(QByteArrayView bytes);

// The single-byte code page the bytes read best in as Bulgarian: "windows-1251", "KOI8-R" or "IBM866".
QString detectCyrillicCodePage(QByteArrayView bytes);

// LF alone and CR alone become CR LF; CR LF stays. Returns the input itself when nothing changes.
QString toCrLf(const QString& text);

// False for white space and invisible marks only: nothing a reader could see.
bool hasVisibleText(QStringView text);

// A program that writes a document's plain text as UTF-8 on its standard output; the path is appended as the
// last argument.
struct DocExtractor {
    QString program; // a name searched in PATH, or an absolute path
    QStringList arguments;
};

// antiword first, catdoc when antiword is missing or refuses the document.
QList<DocExtractor> defaultDocExtractors();

struct DocExtractLimits {
    // Wall time for all the extractors together. antiword reads even a large document in a fraction of a
    // second; five seconds is many times that on two busy, shared cores, and keeps the whole import inside
    // its ten seconds.
    int timeoutMs = 5'000;
    // Text on the standard output: ten times the longest novel in UTF-8, and still well inside the memory an
    // import may take; more is a converter that lost its way.
    qint64 maxOutputBytes = qint64(64) * 1024 * 1024;
};

// Extracts the plain text of a word-processor document by running the extractors in turn (no shell). An
// extractor past the limits is killed with everything it started. A file that is not a compound document
// but a plain text is read as a text file.
TextImportResult extractDocText(const QString& path,
                                const QList<DocExtractor>& extractors = defaultDocExtractors(),
                                const DocExtractLimits& limits = {});

} // namespace vel
