#include "core/text/formats/OfficeXml.h"

#include "core/text/formats/BookLines.h"
#include "core/text/formats/XmlRead.h"

#include <QHash>

namespace vel {

namespace {

// More note references than any document carries; each one copies its note's whole text.
constexpr int kMaxNoteReferences = 20'000;

const QString kDocxBody = QStringLiteral("word/document.xml");
const QString kDocxFootnotes = QStringLiteral("word/footnotes.xml");
const QString kDocxEndnotes = QStringLiteral("word/endnotes.xml");
const QString kDocxCore = QStringLiteral("docProps/core.xml");
const QString kDocxStyles = QStringLiteral("word/styles.xml");
const QString kOdtBody = QStringLiteral("content.xml");
const QString kOdtMeta = QStringLiteral("meta.xml");

const QByteArray* find(const ZipContents& zip, const QString& name) {
    for (const ZipEntry& e : zip.entries)
        if (e.name == name)
            return &e.data;
    return nullptr;
}

TextImportResult fail(const QString& message) {
    TextImportResult r;
    r.error = message;
    return r;
}

// dc:title and the first of the given author elements that has a value.
void readProperties(const QByteArray* bytes, const QStringList& authorElements, LoadedText& out) {
    if (!bytes)
        return;
    XmlReader xml(*bytes);
    QHash<QString, QString> found;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.qualifiedName().toString();
        if (name == u"dc:title" || authorElements.contains(name)) {
            const QString value = xml.elementText();
            if (!found.contains(name))
                found.insert(name, value);
        }
    }
    out.title = found.value(QStringLiteral("dc:title"));
    for (const QString& e : authorElements) {
        if (!found.value(e).isEmpty()) {
            out.author = found.value(e);
            break;
        }
    }
}

// The outline level (1 for the first) of Word's paragraph styles that are headings: by their name "heading N"
// (ids are translated with the user interface) or by an outline level of their own.
QHash<QString, int> readDocxHeadingStyles(const QByteArray* bytes) {
    QHash<QString, int> levels;
    if (!bytes)
        return levels;
    XmlReader xml(*bytes);
    QString style;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"style") {
            style.clear();
        } else if (token != QXmlStreamReader::StartElement) {
            continue;
        } else if (xml.name() == u"style") {
            const bool paragraph = xml.attributes().value(QStringLiteral("w:type")) == u"paragraph";
            style = paragraph ? xml.attributes().value(QStringLiteral("w:styleId")).toString() : QString();
        } else if (!style.isEmpty() && xml.name() == u"name") {
            const QString name = xml.attributes().value(QStringLiteral("w:val")).toString().toLower();
            if (name.startsWith(u"heading ") && name.size() == 9 && name[8].isDigit() && name[8] != u'0')
                levels.insert(style, name[8].digitValue());
        } else if (!style.isEmpty() && xml.name() == u"outlineLvl" && !levels.contains(style)) {
            const int level = xml.attributes().value(QStringLiteral("w:val")).toInt() + 1;
            if (level >= 1 && level <= 9)
                levels.insert(style, level);
        }
    }
    return levels;
}

// Word runs: text only inside w:t, breaks and tabs as elements; deleted text, field codes and the fallback
// copies of drawings are not part of what the reader sees.
class DocxWalker {
public:
    explicit DocxWalker(QHash<QString, QString> notes = {}, QHash<QString, int> headings = {})
        : notes_(std::move(notes)), headings_(std::move(headings)) {}

    bool walk(XmlReader& xml, BookLines& lines) {
        bool inText = false;
        bool inHeading = false;
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement: {
                const QStringView n = xml.name();
                if (n == u"pPr") {
                    if (const int level = headingLevel(xml); level > 0) {
                        lines.startHeading(level);
                        inHeading = true;
                    }
                } else if (n == u"Fallback" || n == u"del" || n == u"instrText" || n == u"delText" ||
                           n == u"sdtPr" || n == u"rPr") {
                    xml.skipCurrentElement();
                } else if (n == u"t") {
                    inText = true;
                } else if (n == u"p") {
                    lines.endLine();
                } else if (n == u"tab") {
                    lines.literal(u" ");
                } else if (n == u"br" || n == u"cr") {
                    const QStringView type = xml.attributes().value(QStringLiteral("w:type"));
                    if (type.isEmpty() || type == u"textWrapping")
                        lines.endLine();
                } else if (n == u"noBreakHyphen") {
                    lines.literal(u"-");
                } else if (n == u"footnoteReference" || n == u"endnoteReference") {
                    const QString key =
                        n.toString() + xml.attributes().value(QStringLiteral("w:id")).toString();
                    if (++count_ > kMaxNoteReferences) {
                        lines.refuse(QStringLiteral("Документът има прекалено много бележки под линия "
                                                    "(повече от %1)")
                                         .arg(kMaxNoteReferences));
                        break;
                    }
                    const QString marker = noteMarker(QString::number(count_));
                    lines.noteReference(marker, marker);
                    lines.notes().startNote(marker);
                    lines.notes().literal(QString(marker + u' '));
                    lines.notes().text(notes_.value(key));
                    lines.notes().endNote();
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                if (xml.name() == u"t") {
                    inText = false;
                } else if (xml.name() == u"p") {
                    lines.endLine();
                    if (inHeading)
                        lines.endHeading();
                    inHeading = false;
                }
                break;
            case QXmlStreamReader::Characters:
                if (inText)
                    lines.literal(xml.text());
                break;
            default:
                break;
            }
        }
        lines.endLine();
        return !xml.hasError();
    }

private:
    // Reads a paragraph's properties up to their end: the outline level its style or itself gives.
    int headingLevel(XmlReader& xml) const {
        int level = 0;
        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                ++depth;
                const QString value = xml.attributes().value(QStringLiteral("w:val")).toString();
                if (xml.name() == u"pStyle" && level == 0)
                    level = headings_.value(value);
                else if (xml.name() == u"outlineLvl" && value.toInt() < 9)
                    level = value.toInt() + 1;
            }
        }
        return level;
    }

    QHash<QString, QString> notes_;
    QHash<QString, int> headings_;
    int count_ = 0;
};

// Each footnote's or endnote's text on one line, by "footnoteReference<id>" or "endnoteReference<id>".
void readDocxNotes(const QByteArray* bytes, const QString& element, QHash<QString, QString>& notes) {
    if (!bytes)
        return;
    XmlReader xml(*bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != element)
            continue;
        const QString id = xml.attributes().value(QStringLiteral("w:id")).toString();
        if (!xml.attributes().value(QStringLiteral("w:type")).isEmpty()) {
            xml.skipCurrentElement(); // separators
            continue;
        }
        // The note's own body up to its end element.
        BookLines text;
        QString inner;
        int depth = 1;
        bool inT = false;
        while (depth > 0 && !xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                if (xml.name() == u"t")
                    inT = true;
                else if (xml.name() == u"p" || xml.name() == u"tab")
                    text.literal(u" ");
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                if (xml.name() == u"t")
                    inT = false;
                break;
            case QXmlStreamReader::Characters:
                if (inT)
                    text.literal(xml.text());
                break;
            default:
                break;
            }
        }
        text.endLine();
        notes.insert(element + QStringLiteral("Reference") + id, text.joined().simplified());
    }
}

} // namespace

bool isDocxTextEntry(const QString& name) {
    return name == kDocxBody || name == kDocxFootnotes || name == kDocxEndnotes || name == kDocxCore ||
           name == kDocxStyles;
}

bool isOdtTextEntry(const QString& name) {
    return name == kOdtBody || name == kOdtMeta;
}

TextImportResult readDocx(const ZipContents& zip) {
    if (!zip.ok())
        return fail(zipFailureText(zip.failure));
    const QByteArray* body = find(zip, kDocxBody);
    if (!body)
        return fail(QStringLiteral("Файлът не е документ DOCX (липсва текстът на документа)"));
    QHash<QString, QString> notes;
    readDocxNotes(find(zip, kDocxFootnotes), QStringLiteral("footnote"), notes);
    readDocxNotes(find(zip, kDocxEndnotes), QStringLiteral("endnote"), notes);

    TextImportResult result;
    BookLines lines;
    DocxWalker walker(std::move(notes), readDocxHeadingStyles(find(zip, kDocxStyles)));
    XmlReader xml(*body);
    if (!walker.walk(xml, lines))
        return fail(xmlFailureText(xml));
    readProperties(find(zip, kDocxCore), {QStringLiteral("dc:creator")}, result.loaded);
    finishBook(lines, result);
    return result;
}

TextImportResult readOdt(const ZipContents& zip) {
    if (!zip.ok())
        return fail(zipFailureText(zip.failure));
    const QByteArray* body = find(zip, kOdtBody);
    if (!body)
        return fail(QStringLiteral("Файлът не е документ ODT (липсва текстът на документа)"));

    TextImportResult result;
    BookLines lines;
    BookLines* out = &lines;
    XmlReader xml(*body);
    int paragraphs = 0;    // open text:p and text:h elements
    QString pendingMarker; // a note's marker, put before its first paragraph
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString n = xml.qualifiedName().toString();
            if (n == u"office:annotation" || n == u"text:tracked-changes" || n == u"text:table-of-content" ||
                n == u"text:sequence-decls" || n == u"svg:desc" || n == u"svg:title" || n == u"draw:image" ||
                n == u"office:forms" || n == u"office:automatic-styles" || n == u"office:font-face-decls") {
                xml.skipCurrentElement();
            } else if (n == u"text:p" || n == u"text:h") {
                ++paragraphs;
                out->endLine();
                if (n == u"text:h" && out == &lines)
                    lines.startHeading(
                        std::max(1, xml.attributes().value(QStringLiteral("text:outline-level")).toInt()));
                if (!pendingMarker.isEmpty()) {
                    out->literal(QString(pendingMarker + u' '));
                    pendingMarker.clear();
                }
            } else if (n == u"text:s") {
                const int c = xml.attributes().value(QStringLiteral("text:c")).toInt();
                out->literal(QString(std::max(1, std::min(c, 1000)), u' '));
            } else if (n == u"text:tab") {
                out->literal(u" ");
            } else if (n == u"text:line-break") {
                out->endLine();
            } else if (n == u"text:note-citation") {
                const QString marker = noteMarker(xml.elementText());
                out->noteReference(marker, marker);
                pendingMarker = marker;
            } else if (n == u"text:note-body") {
                out = &lines.notes();
                out->startNote(pendingMarker);
            }
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QStringView n = xml.qualifiedName();
            if (n == u"text:p" || n == u"text:h") {
                --paragraphs;
                out->endLine();
                if (n == u"text:h" && out == &lines)
                    lines.endHeading();
            } else if (n == u"text:note-body") {
                out->endNote();
                out = &lines;
                pendingMarker.clear();
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (paragraphs > 0)
                out->text(xml.text());
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return fail(xmlFailureText(xml));
    readProperties(find(zip, kOdtMeta),
                   {QStringLiteral("meta:initial-creator"), QStringLiteral("dc:creator")}, result.loaded);
    finishBook(lines, result);
    return result;
}

} // namespace vel
