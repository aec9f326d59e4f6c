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

// Word runs: text only inside w:t, breaks and tabs as elements; deleted text, field codes and the fallback
// copies of drawings are not part of what the reader sees.
class DocxWalker {
public:
    explicit DocxWalker(QHash<QString, QString> notes = {}) : notes_(std::move(notes)) {}

    bool walk(XmlReader& xml, BookLines& lines) {
        bool inText = false;
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement: {
                const QStringView n = xml.name();
                if (n == u"Fallback" || n == u"del" || n == u"instrText" || n == u"delText" ||
                    n == u"sdtPr" || n == u"rPr" || n == u"pPr") {
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
                    lines.literal(marker);
                    lines.notes().literal(QString(marker + u' '));
                    lines.notes().text(notes_.value(key));
                    lines.notes().endLine();
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                if (xml.name() == u"t")
                    inText = false;
                else if (xml.name() == u"p")
                    lines.endLine();
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
    QHash<QString, QString> notes_;
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
    return name == kDocxBody || name == kDocxFootnotes || name == kDocxEndnotes || name == kDocxCore;
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
    DocxWalker walker(std::move(notes));
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
                out->literal(marker);
                pendingMarker = marker;
            } else if (n == u"text:note-body") {
                out = &lines.notes();
            }
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QStringView n = xml.qualifiedName();
            if (n == u"text:p" || n == u"text:h") {
                --paragraphs;
                out->endLine();
            } else if (n == u"text:note-body") {
                out->endLine();
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
