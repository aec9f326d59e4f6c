#include "core/text/formats/Html.h"

#include <QSet>
#include <QStringDecoder>
#include <QTextDocument>

namespace vel {

namespace {

const QSet<QString>& blocks() {
    static const QSet<QString> set = {
        "p",       "div",        "h1",      "h2",         "h3",      "h4",     "h5",     "h6",
        "li",      "dt",         "dd",      "blockquote", "pre",     "td",     "th",     "tr",
        "caption", "figcaption", "address", "section",    "article", "aside",  "header", "footer",
        "nav",     "ul",         "ol",      "dl",         "table",   "figure", "body",   "center",
    };
    return set;
}

const QSet<QString>& dropped() {
    static const QSet<QString> set = {"script", "style",  "template", "object", "iframe", "img",
                                      "video",  "audio",  "svg",      "math",   "map",    "noscript",
                                      "button", "select", "textarea", "input",  "canvas", "embed"};
    return set;
}

bool isNote(const QXmlStreamAttributes& attributes) {
    for (const QXmlStreamAttribute& a : attributes) {
        if (a.name() != u"type" && a.name() != u"role")
            continue;
        const QString v = a.value().toString();
        if (v.contains(QStringLiteral("noteref")))
            continue;
        if (v.contains(QStringLiteral("footnote")) || v.contains(QStringLiteral("endnote")) ||
            v.contains(QStringLiteral("rearnote")))
            return true;
    }
    return false;
}

bool isNoteReference(const QXmlStreamAttributes& attributes) {
    for (const QXmlStreamAttribute& a : attributes)
        if ((a.name() == u"type" || a.name() == u"role") && a.value().contains(QStringLiteral("noteref")))
            return true;
    return false;
}

int headingLevel(QStringView name) {
    return name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6' ? name[1].unicode() - '0'
                                                                                      : 0;
}

void readHead(XmlReader& xml, QString* title, QString* author) {
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString().toLower();
        if (name == u"title" && title && title->isEmpty()) {
            *title = xml.elementText();
            continue;
        }
        if (name == u"meta" && author && author->isEmpty()) {
            const QString what = xml.attributes().value(QStringLiteral("name")).toString().toLower();
            if (what == u"author" || what == u"dc.creator" || what == u"dcterms.creator")
                *author = xml.attributes().value(QStringLiteral("content")).toString().simplified();
        }
        xml.skipCurrentElement();
    }
}

} // namespace

bool readXhtml(XmlReader& xml, BookLines& lines, QString* title, QString* author) {
    BookLines* out = &lines;
    int depth = 0;
    int noteDepth = 0; // the depth of the note being read, 0 outside notes
    int preDepth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = xml.name().toString().toLower();
            if (name == u"head") {
                readHead(xml, title, author);
                break;
            }
            if (dropped().contains(name)) {
                xml.skipCurrentElement();
                break;
            }
            ++depth;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (noteDepth == 0 && isNote(attributes)) {
                out->endLine();
                noteDepth = depth;
                out = &lines.notes();
                out->startNote(attributes.value(QStringLiteral("id")).toString());
            }
            if (name == u"a" && isNoteReference(attributes)) {
                const QString href = attributes.value(QStringLiteral("href")).toString();
                out->noteReference(href.section(u'#', 1), noteMarker(xml.readElementText(
                                                              QXmlStreamReader::IncludeChildElements)));
                --depth;
                break;
            }
            if (const int level = headingLevel(name); level > 0 && noteDepth == 0) {
                out->startHeading(level);
            } else if (name == u"br") {
                out->endLine();
            } else if (name == u"hr") {
                out->blankLine();
            } else if (blocks().contains(name)) {
                out->endLine();
                if (name == u"pre" && preDepth == 0)
                    preDepth = depth;
            }
            if (const QStringView id = attributes.value(QStringLiteral("id")); !id.isEmpty() && noteDepth == 0)
                out->target(u'#' + id.toString());
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QString name = xml.name().toString().toLower();
            if (headingLevel(name) > 0 && noteDepth == 0)
                out->endHeading();
            else if (blocks().contains(name))
                out->endLine();
            if (depth == preDepth)
                preDepth = 0;
            if (depth == noteDepth) {
                out->endNote();
                out = &lines;
                noteDepth = 0;
            }
            --depth;
            break;
        }
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (depth == 0)
                break;
            if (preDepth == 0) {
                out->text(xml.text());
                break;
            }
            // Preformatted text keeps its line breaks and spaces.
            {
                const QStringList parts = xml.text().toString().split(u'\n');
                for (qsizetype i = 0; i < parts.size(); ++i) {
                    if (i > 0)
                        out->endLine();
                    out->literal(QString(parts[i]).remove(u'\r'));
                }
            }
            break;
        default:
            break;
        }
    }
    lines.endLine();
    return !xml.hasError();
}

void readTagSoup(const QString& html, BookLines& lines, QString* title) {
    QTextDocument document;
    document.setHtml(html);
    if (title && title->isEmpty())
        *title = document.metaInformation(QTextDocument::DocumentTitle).simplified();
    QString plain = document.toPlainText();
    plain.replace(QChar(QChar::LineSeparator), u'\n');
    for (const QStringView line : QStringView(plain).split(u'\n')) {
        lines.text(line);
        lines.endLine();
    }
}

void readHtmlDocument(const QString& html, BookLines& lines, QString* title, QString* author) {
    BookLines attempt;
    QString xmlTitle, xmlAuthor;
    XmlReader xml(html);
    if (readXhtml(xml, attempt, &xmlTitle, &xmlAuthor)) {
        lines.append(attempt);
        if (title && title->isEmpty())
            *title = xmlTitle;
        if (author && author->isEmpty())
            *author = xmlAuthor;
        return;
    }
    BookLines soup;
    readTagSoup(html, soup, title);
    lines.append(soup);
}

TextImportResult readHtml(const QByteArray& bytes) {
    TextImportResult result;
    QString html;
    QStringDecoder declared = QStringDecoder::decoderForHtml(bytes);
    // Without a byte order mark or a charset the bytes may be in any Cyrillic code page.
    if (declared.isValid() && QByteArrayView(declared.name()) != "UTF-8") {
        html = declared(bytes);
    } else {
        TextImportResult decoded = decodeText(bytes);
        if (!decoded.ok())
            return decoded;
        html = decoded.loaded.text;
    }
    BookLines lines;
    readHtmlDocument(html, lines, &result.loaded.title, &result.loaded.author);
    finishBook(lines, result);
    return result;
}

} // namespace vel
