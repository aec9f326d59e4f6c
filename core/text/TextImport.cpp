#include "core/text/TextImport.h"

#include "core/storage/RawNames.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

namespace vel {

namespace {

const QString kNoSuchFile = QStringLiteral("Файлът не съществува");
const QString kUnreadable = QStringLiteral("Файлът не може да бъде прочетен");
const QString kTooLarge = QStringLiteral("Файлът е твърде голям (повече от 512 MB)");
const QString kBinary = QStringLiteral("Файлът не съдържа текст (изглежда двоичен)");
const QString kNotADocument = QStringLiteral("Файлът не е документ, който може да бъде прочетен");
const QString kDocTimeout = QStringLiteral("Четенето на документа продължи твърде дълго и беше прекъснато");
const QString kDocTooMuch =
    QStringLiteral("Програмата за четене на документа извежда прекалено много текст и беше спряна");
const QString kNoDocReader =
    QStringLiteral("Няма инсталирана програма за четене на документи .doc (antiword или catdoc).");

// A decoded text with NULs, or with more than one character in twenty (and more than two) a control character
// or an undecodable byte, came from a file that is not a text.
bool looksBinary(QStringView text) {
    qsizetype suspicious = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c < 0x7f)
            continue;
        if (c == 0)
            return true;
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' || c == 0x1a)
            continue;
        if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0xfffd)
            ++suspicious;
    }
    return suspicious > 2 && suspicious * 20 > text.size();
}

// DOS editors ended files with Ctrl+Z.
void dropEndOfFileMarks(QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).unicode() == 0x1a)
        --n;
    text.truncate(n);
}

// Told after each slice is decoded that the bytes before `upTo` are not read again.
using ForgetBytes = std::function<void(qsizetype upTo)>;

// The decoded length of a text in an ASCII-compatible encoding once every line end is CR LF, so that the text
// is allocated once at its final size: UTF-8 gives one UTF-16 unit per sequence, two for four bytes.
qsizetype crLfLength(QByteArrayView bytes, bool utf8) {
    const auto* const begin = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* const end = begin + bytes.size();
    qsizetype units = 0;
    for (const std::uint8_t* p = begin; p < end; ++p) {
        const std::uint8_t b = *p;
        units += utf8 ? ((b & 0xc0) != 0x80) + (b >= 0xf0) : 1;
        if (b == '\r')
            units += p + 1 == end || p[1] != '\n';
        else if (b == '\n')
            units += p == begin || p[-1] != '\r';
    }
    return units;
}

// Appends `piece` to `out` with every line end made CR LF; a CR ending the piece waits in `pendingCr` for
// the next one, which may start with its LF.
void appendCrLf(QString& out, QStringView piece, bool& pendingCr) {
    const char16_t* p = piece.utf16();
    const char16_t* const end = p + piece.size();
    if (pendingCr && p < end) {
        out.append(u"\r\n");
        pendingCr = false;
        if (*p == u'\n')
            ++p;
    }
    while (p < end) {
        const char16_t* const run = p;
        while (p < end && *p != u'\r' && *p != u'\n')
            ++p;
        out.append(reinterpret_cast<const QChar*>(run), p - run);
        if (p == end)
            break;
        if (*p == u'\r' && p + 1 == end) {
            pendingCr = true;
            break;
        }
        out.append(u"\r\n");
        p += *p == u'\r' && p[1] == u'\n' ? 2 : 1;
    }
}

// Decodes `bytes` into its final form, line ends CR LF, a slice at a time: the text is built once, no second
// whole copy of it ever exists, and the bytes behind each slice may be let go as it goes. Slices end where
// a character does, so every slice decodes alone.
QString decodeCrLf(QByteArrayView bytes, QStringDecoder& decoder, QStringConverter::Encoding encoding,
                   const ForgetBytes& forget, bool* hadError = nullptr) {
    constexpr qsizetype kSlice = qsizetype(1) << 20;
    using E = QStringConverter;
    const int unit = encoding == E::Utf16LE || encoding == E::Utf16BE   ? 2
                     : encoding == E::Utf32LE || encoding == E::Utf32BE ? 4
                                                                        : 1;
    QString out;
    out.reserve(unit == 1 ? crLfLength(bytes, encoding == E::Utf8)
                          : bytes.size() / unit + bytes.size() / (16 * unit)); // LF alone is rare there
    bool pendingCr = false;
    bool error = false;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype to = std::min(bytes.size(), at + kSlice);
        if (to < bytes.size()) {
            to -= (to - at) % unit;
            if (encoding == E::Utf8) // back to the lead byte of a sequence
                for (int i = 0; i < 3 && (std::uint8_t(bytes[to]) & 0xc0) == 0x80; ++i)
                    --to;
            if (unit == 2) { // not between the halves of a surrogate pair
                const std::uint8_t high = std::uint8_t(bytes[encoding == E::Utf16LE ? to - 1 : to - 2]);
                if ((high & 0xfc) == 0xd8)
                    to -= 2;
            }
        }
        const QString piece = decoder(bytes.sliced(at, to - at));
        error = error || decoder.hasError();
        appendCrLf(out, piece, pendingCr);
        at = to;
        if (forget)
            forget(at);
    }
    if (pendingCr)
        out.append(u"\r\n");
    if (hadError)
        *hadError = error;
    return out;
}

QString decodeCrLf(QByteArrayView bytes, QStringConverter::Encoding encoding, const ForgetBytes& forget,
                   bool* hadError = nullptr) {
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decodeCrLf(bytes, decoder, encoding, forget, hadError);
}

enum class Utf8Check { Valid, CutShort, Invalid };

// Strict UTF-8 (no overlong forms, surrogates or code points past U+10FFFF). Stops at the first fault, so a
// single-byte text is rejected after its first few letters instead of being decoded in full.
Utf8Check checkUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const std::uint8_t b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xbf;
        if (b >= 0xc2 && b <= 0xdf) {
            length = 2;
        } else if (b >= 0xe0 && b <= 0xef) {
            length = 3;
            low = b == 0xe0 ? 0xa0 : 0x80;
            high = b == 0xed ? 0x9f : 0xbf;
        } else if (b >= 0xf0 && b <= 0xf4) {
            length = 4;
            low = b == 0xf0 ? 0x90 : 0x80;
            high = b == 0xf4 ? 0x8f : 0xbf;
        } else {
            return Utf8Check::Invalid;
        }
        for (int i = 1; i < length; ++i) {
            if (p + i == end)
                return Utf8Check::CutShort;
            const std::uint8_t c = p[i];
            if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xbf))
                return Utf8Check::Invalid;
        }
        p += length;
    }
    return Utf8Check::Valid;
}

// A UTF-8 text with a few stray bytes (a damaged copy, a line pasted from elsewhere) is still UTF-8: its
// well-formed multi-byte letters far outnumber the faults. A single-byte Cyrillic text almost never forms
// even one well-formed sequence.
bool mostlyUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* const end = p + bytes.size();
    qsizetype good = 0;
    qsizetype bad = 0;
    while (p < end) {
        const std::uint8_t b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        const int length = b >= 0xc2 && b <= 0xdf   ? 2
                           : b >= 0xe0 && b <= 0xef ? 3
                           : b >= 0xf0 && b <= 0xf4 ? 4
                                                    : 0;
        bool ok = length > 0 && end - p >= length;
        for (int i = 1; ok && i < length; ++i)
            ok = (p[i] & 0xc0) == 0x80;
        if (ok) {
            ++good;
            p += length;
        } else {
            ++bad;
            ++p;
        }
    }
    return good >= 8 && bad * 50 <= good;
}

// UTF-16 without a byte order mark shows as NULs in the high byte of every ASCII character (spaces, digits,
// punctuation, line ends) and almost never in the other byte.
std::optional<QStringConverter::Encoding> guessUtf16(QByteArrayView bytes) {
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 64 * 1024) & ~qsizetype(1);
    qsizetype zerosEven = 0;
    qsizetype zerosOdd = 0;
    for (qsizetype i = 0; i < sample; i += 2) {
        zerosEven += bytes[i] == 0;
        zerosOdd += bytes[i + 1] == 0;
    }
    const qsizetype units = sample / 2;
    if (units == 0)
        return std::nullopt;
    if (zerosOdd * 16 >= units && zerosEven * 8 <= zerosOdd)
        return QStringConverter::Utf16LE;
    if (zerosEven * 16 >= units && zerosOdd * 8 <= zerosEven)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// --- Single-byte Cyrillic code pages -------------------------------------------------------------------

enum class ByteKind : std::uint8_t { Ascii, Lower, Upper, Neutral, Junk };

struct ByteClass {
    ByteKind kind = ByteKind::Ascii;
    std::int16_t weight = 0;
};

struct CodePage {
    const char* name;
    std::array<ByteClass, 256> bytes;
};

// Bulgarian letter frequencies in tenths of a percent, in alphabetical order а..я; "ы" and "э" score nothing.
constexpr std::array<std::int16_t, 32> kLetterWeight = {
    88, 14, 43, 16, 31, 83, 8, 18, 81, 7, 33, 35, 26, 65, 89, 27, // а б в г д е ж з и й к л м н о п
    50, 46, 71, 13, 3,  8,  7, 13, 7,  6, 25, 0,  1,  0,  2,  19, // р с т у ф х ц ч ш щ ъ ы ь э ю я
};

// Classes of the upper 128 bytes, learnt from the code page's own decoder.
CodePage classify(const char* name) {
    CodePage page{name, {}};
    QStringDecoder decoder(name, QStringDecoder::Flag::Stateless);
    for (int b = 0x80; b < 0x100; ++b) {
        const char byte = char(b);
        const QString decoded = decoder(QByteArrayView(&byte, 1));
        const QChar c = decoded.size() == 1 ? decoded.at(0) : QChar(QChar::ReplacementCharacter);
        const char16_t u = c.unicode();
        ByteClass& cls = page.bytes[b];
        if (u >= 0x400 && u < 0x500 && c.isLetter()) {
            cls.kind = c.isUpper() ? ByteKind::Upper : ByteKind::Lower;
            const char16_t lower = c.toLower().unicode();
            cls.weight = lower >= 0x430 && lower < 0x450 ? kLetterWeight[lower - 0x430] : 0;
        } else if (c.isPunct() || (u >= 0xa0 && u < 0xc0) || (u >= 0x2100 && u < 0x2150)) {
            cls.kind = ByteKind::Neutral;
        } else {
            cls.kind = ByteKind::Junk;
        }
    }
    return page;
}

const std::array<CodePage, 3>& codePages() {
    static const std::array<CodePage, 3> pages = {classify("windows-1251"), classify("KOI8-R"),
                                                  classify("IBM866")};
    return pages;
}

// How much the bytes look like Bulgarian in this code page: frequent letters score, a capital right after a
// small letter inside a word (what a wrong code page makes of nearly every capitalised word) costs much, and
// box-drawing, mathematical and control characters cost.
long long bulgarianScore(const CodePage& page, QByteArrayView bytes) {
    long long score = 0;
    bool afterLower = false;
    for (const char ch : bytes) {
        const ByteClass& cls = page.bytes[std::uint8_t(ch)];
        switch (cls.kind) {
        case ByteKind::Lower:
            score += cls.weight;
            afterLower = true;
            break;
        case ByteKind::Upper:
            score += cls.weight - (afterLower ? 150 : 0);
            afterLower = false;
            break;
        case ByteKind::Junk:
            score -= 20;
            afterLower = false;
            break;
        case ByteKind::Ascii:
        case ByteKind::Neutral:
            afterLower = false;
            break;
        }
    }
    return score;
}

QStringConverter::Encoding bomEncoding(QByteArrayView bytes, qsizetype& bomLength) {
    const auto starts = [&](std::initializer_list<std::uint8_t> bom) {
        if (bytes.size() < qsizetype(bom.size()))
            return false;
        qsizetype i = 0;
        for (const std::uint8_t b : bom)
            if (std::uint8_t(bytes[i++]) != b)
                return false;
        bomLength = qsizetype(bom.size());
        return true;
    };
    if (starts({0xff, 0xfe, 0x00, 0x00}))
        return QStringConverter::Utf32LE;
    if (starts({0x00, 0x00, 0xfe, 0xff}))
        return QStringConverter::Utf32BE;
    if (starts({0xef, 0xbb, 0xbf}))
        return QStringConverter::Utf8;
    if (starts({0xff, 0xfe}))
        return QStringConverter::Utf16LE;
    if (starts({0xfe, 0xff}))
        return QStringConverter::Utf16BE;
    bomLength = 0;
    return QStringConverter::System;
}

QString encodingName(QStringConverter::Encoding encoding) {
    return QString::fromLatin1(QStringConverter::nameForEncoding(encoding));
}

// `text` has CR LF line ends already.
TextImportResult finish(QString text, const QString& encoding) {
    dropEndOfFileMarks(text);
    if (looksBinary(text))
        return TextImportResult::failed(kBinary);
    return {{std::move(text), encoding}, {}};
}

const QByteArray kCompoundDocumentMagic = QByteArray::fromHex("d0cf11e0a1b11ae1");

} // namespace

QString toCrLf(const QString& text) {
    const char16_t* const begin = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = begin + text.size();
    qsizetype missing = 0;
    for (const char16_t* p = begin; p < end; ++p) {
        if (*p == u'\r') {
            if (p + 1 < end && p[1] == u'\n')
                ++p;
            else
                ++missing;
        } else if (*p == u'\n') {
            ++missing;
        }
    }
    if (missing == 0)
        return text;

    QString out(text.size() + missing, Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (const char16_t* p = begin; p < end; ++p) {
        if (*p == u'\r' || *p == u'\n') {
            *dst++ = u'\r';
            *dst++ = u'\n';
            if (*p == u'\r' && p + 1 < end && p[1] == u'\n')
                ++p;
        } else {
            *dst++ = *p;
        }
    }
    return out;
}

QString detectCyrillicCodePage(QByteArrayView bytes) {
    // A few megabytes decide as well as the whole file.
    const QByteArrayView sample = bytes.first(std::min<qsizetype>(bytes.size(), 4 * 1024 * 1024));
    const auto& pages = codePages();
    const long long defaultScore = bulgarianScore(pages[0], sample);
    const CodePage* best = &pages[0];
    long long bestScore = defaultScore;
    const long long margin = std::max<long long>(50, std::llabs(defaultScore) / 4);
    for (std::size_t i = 1; i < pages.size(); ++i) {
        const long long score = bulgarianScore(pages[i], sample);
        if (score > defaultScore + margin && score > bestScore) {
            best = &pages[i];
            bestScore = score;
        }
    }
    return QString::fromLatin1(best->name);
}

namespace {

TextImportResult decodeBytes(QByteArrayView bytes, const ForgetBytes& forget) {
    if (bytes.isEmpty())
        return {{QString(), encodingName(QStringConverter::Utf8)}, {}};

    qsizetype bomLength = 0;
    const QStringConverter::Encoding bom = bomEncoding(bytes, bomLength);
    if (bomLength > 0) {
        const ForgetBytes shifted =
            forget ? ForgetBytes([&](qsizetype upTo) { forget(upTo + bomLength); }) : ForgetBytes();
        return finish(decodeCrLf(bytes.sliced(bomLength), bom, shifted), encodingName(bom));
    }

    if (bytes.contains('\0')) {
        if (const auto utf16 = guessUtf16(bytes)) {
            bool error = false;
            QString text = decodeCrLf(bytes, *utf16, forget, &error);
            if (!error)
                return finish(std::move(text), encodingName(*utf16));
        }
        return TextImportResult::failed(kBinary);
    }

    // A last character cut off by truncation becomes U+FFFD instead of turning the whole file into mojibake.
    const bool damaged = checkUtf8(bytes) == Utf8Check::Invalid;
    if (!damaged || mostlyUtf8(bytes)) {
        TextImportResult r =
            finish(decodeCrLf(bytes, QStringConverter::Utf8, forget), encodingName(QStringConverter::Utf8));
        r.loaded.damaged = damaged && r.ok();
        return r;
    }

    const QString codePage = detectCyrillicCodePage(bytes);
    QStringDecoder decoder(codePage.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    // Latin1 stands for any single-byte code page here: one byte, one character.
    return finish(decodeCrLf(bytes, decoder, QStringConverter::Latin1, forget), codePage);
}

} // namespace

TextImportResult decodeText(QByteArrayView bytes) {
    return decodeBytes(bytes, {});
}

QString withPath(const QString& reason, const QString& path) {
    return reason + QStringLiteral(":\r\n") + shownPath(path);
}

std::optional<TextImportResult> refuseBeforeReading(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return TextImportResult::failed(withPath(kNoSuchFile, path));
    if (!info.isFile())
        return TextImportResult::failed(withPath(kUnreadable, path));
    if (info.size() > kMaxTextFileBytes)
        return TextImportResult::failed(withPath(kTooLarge, path));
    return std::nullopt;
}

TextImportResult loadTextFile(const QString& path) {
    if (auto refused = refuseBeforeReading(path))
        return *refused;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TextImportResult::failed(withPath(kUnreadable, path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return TextImportResult::failed(withPath(kUnreadable, path));
    if (bytes.size() > kMaxTextFileBytes)
        return TextImportResult::failed(withPath(kTooLarge, path));

    // The bytes already decoded give their memory back while the rest is decoded, so that the file and its
    // text are not both held whole. Only whole pages inside the buffer go; they are never read again.
    const auto pageSize = qsizetype(sysconf(_SC_PAGESIZE));
    const auto base = reinterpret_cast<std::uintptr_t>(bytes.constData());
    const std::uintptr_t firstPage = (base + pageSize - 1) / pageSize * pageSize;
    std::uintptr_t forgotten = firstPage;
    TextImportResult result = decodeBytes(bytes, [&](qsizetype upTo) {
        const std::uintptr_t until = (base + upTo) / pageSize * pageSize;
        if (until > forgotten &&
            madvise(reinterpret_cast<void*>(forgotten), until - forgotten, MADV_DONTNEED) == 0)
            forgotten = until;
    });
    bytes = QByteArray();
    if (!result.ok())
        result.error = withPath(result.error, path);
    return result;
}

QList<DocExtractor> defaultDocExtractors() {
    // Without a wrap width of 0 (antiword) or -w (catdoc) both break paragraphs into 80-column lines.
    return {
        {QStringLiteral("antiword"),
         {QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), QStringLiteral("-w"), QStringLiteral("0")}},
        {QStringLiteral("catdoc"), {QStringLiteral("-d"), QStringLiteral("utf-8"), QStringLiteral("-w")}},
    };
}

namespace {

enum class Extraction { NotStarted, Done, Failed, TimedOut, TooMuch };

// Runs one extractor in a process group of its own, so that a kill reaches whatever it started too. Its
// errors are not read: a broken document may make it write them without end.
Extraction runExtractor(const QString& program, const QStringList& arguments, const QDeadlineTimer& deadline,
                        qint64 maxOutput, QByteArray* out) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(int(std::max<qint64>(1, deadline.remainingTime()))))
        return Extraction::NotStarted;
    const qint64 group = process.processId();
    Extraction result = Extraction::Done;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            result = Extraction::TimedOut;
            break;
        }
        if (!process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))) &&
            process.state() != QProcess::NotRunning)
            process.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())));
        *out += process.readAllStandardOutput();
        if (out->size() > maxOutput) {
            result = Extraction::TooMuch;
            break;
        }
    }
    if (group > 0)
        ::kill(pid_t(-group), SIGKILL);
    process.waitForFinished();
    if (result != Extraction::Done)
        return result;
    *out += process.readAllStandardOutput();
    if (out->size() > maxOutput)
        return Extraction::TooMuch;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? Extraction::Done
                                                                                   : Extraction::Failed;
}

} // namespace

TextImportResult extractDocText(const QString& path, const QList<DocExtractor>& extractors,
                                const DocExtractLimits& limits) {
    if (auto refused = refuseBeforeReading(path))
        return *refused;

    QByteArray head;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return TextImportResult::failed(withPath(kUnreadable, path));
        head = file.read(kCompoundDocumentMagic.size());
    }

    // Word also opens a plain text saved under a .doc name; RTF and newer formats are not handled here.
    if (!head.startsWith(kCompoundDocumentMagic)) {
        if (head.startsWith("{\\rtf"))
            return TextImportResult::failed(withPath(kNotADocument, path));
        TextImportResult asText = loadTextFile(path);
        if (!asText.ok() && asText.error.startsWith(kBinary))
            asText.error = withPath(kNotADocument, path);
        return asText;
    }

    // An absolute path cannot be mistaken for an option by the extractor.
    const QString target = QFileInfo(path).absoluteFilePath();
    const QDeadlineTimer deadline(limits.timeoutMs);
    bool anyRan = false;
    for (const DocExtractor& extractor : extractors) {
        const QString program = QStandardPaths::findExecutable(extractor.program);
        if (program.isEmpty())
            continue;
        QByteArray out;
        const Extraction run = runExtractor(program, extractor.arguments + QStringList{target}, deadline,
                                            limits.maxOutputBytes, &out);
        anyRan = anyRan || run != Extraction::NotStarted;
        switch (run) {
        case Extraction::TimedOut:
            return TextImportResult::failed(withPath(kDocTimeout, path));
        case Extraction::TooMuch:
            return TextImportResult::failed(withPath(kDocTooMuch, path));
        case Extraction::NotStarted:
        case Extraction::Failed:
            continue;
        case Extraction::Done:
            break;
        }
        QString text = decodeCrLf(out, QStringConverter::Utf8, {});
        if (looksBinary(text))
            continue;
        return {{std::move(text), encodingName(QStringConverter::Utf8)}, {}};
    }
    if (!anyRan)
        return TextImportResult::failed(kNoDocReader);
    return TextImportResult::failed(withPath(kNotADocument, path));
}

bool hasVisibleText(QStringView text) {
    for (const QChar c : text)
        if (!c.isSpace() && c.isPrint() && c.category() != QChar::Other_Format)
            return true;
    return false;
}

} // namespace vel
