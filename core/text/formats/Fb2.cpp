#include "core/text/formats/Fb2.h"

#include "core/text/formats/BookLines.h"
#include "core/text/formats/XmlRead.h"

#include <QSet>
#include <algorithm>

namespace vel {

namespace {

QString personName(XmlReader& xml) {
    QStringList parts;
    QString nickname;
    while (xml.readNextStartElement()) {
        const QStringView n = xml.name();
        if (n == u"first-name" || n == u"middle-name" || n == u"last-name")
            parts << xml.elementText();
        else if (n == u"nickname")
            nickname = xml.elementText();
        else
            xml.skipCurrentElement();
    }
    const QString name = parts.join(u' ').simplified();
    return name.isEmpty() ? nickname : name;
}

// An attribute by its local name, whatever prefix the book gave its namespace ("l:href", "xlink:href").
QStringView localAttribute(const QXmlStreamAttributes& attributes, QStringView name) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name)
            return a.value();
    return {};
}

// The id of the cover's binary, from <coverpage><image l:href="#id"/>.
QString coverId(XmlReader& xml) {
    QString id;
    while (xml.readNextStartElement()) {
        const QStringView href = localAttribute(xml.attributes(), u"href");
        if (id.isEmpty() && xml.name() == u"image" && href.startsWith(u'#'))
            id = href.mid(1).toString();
        xml.skipCurrentElement();
    }
    return id;
}

void readTitleInfo(XmlReader& xml, LoadedText& out, QString& cover) {
    QStringList authors;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"sequence" && out.series.isEmpty()) {
            out.series = xml.attributes().value(QStringLiteral("name")).toString().simplified();
            out.seriesNumber = xml.attributes().value(QStringLiteral("number")).toString().simplified();
            xml.skipCurrentElement();
        } else if (xml.name() == u"coverpage") {
            cover = coverId(xml);
        } else if (xml.name() == u"book-title") {
            out.title = xml.elementText();
        } else if (xml.name() == u"author") {
            const QString a = personName(xml);
            if (!a.isEmpty())
                authors << a;
        } else {
            xml.skipCurrentElement();
        }
    }
    out.author = authors.join(QStringLiteral(", "));
}

// A link's target without its leading '#', whatever prefix its namespace has.
QString linkTarget(const QXmlStreamAttributes& attributes) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == u"href")
            return a.value().startsWith(u'#') ? a.value().mid(1).toString() : QString();
    return {};
}

const QSet<QString>& blockElements() {
    static const QSet<QString> blocks = {"p", "v", "subtitle", "text-author", "td", "th", "date"};
    return blocks;
}

} // namespace

TextImportResult readFb2(const QByteArray& bytes) {
    XmlReader xml(bytes);
    TextImportResult result;
    LoadedText& out = result.loaded;
    BookLines lines;

    if (!xml.readNextStartElement() || xml.name() != u"FictionBook") {
        result.error = xml.hasError() ? xmlFailureText(xml) : QStringLiteral("Файлът не е книга FB2");
        return result;
    }
    bool inBody = false;
    bool notesBody = false;
    int stanza = 0;
    int sections = 0; // depth of the section being read
    QString pendingMarker; // a note's number, put before its first paragraph
    QString cover;         // the id of the cover's binary
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = xml.name().toString();
            if (name == u"description") {
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"title-info")
                        readTitleInfo(xml, out, cover);
                    else
                        xml.skipCurrentElement();
                }
            } else if (name == u"binary" && !cover.isEmpty() && out.cover.isEmpty() &&
                       xml.attributes().value(QStringLiteral("id")) == cover) {
                out.cover = QByteArray::fromBase64(xml.readElementText().toLatin1());
            } else if (name == u"binary" || name == u"image" || name == u"stylesheet") {
                xml.skipCurrentElement();
            } else if (name == u"body") {
                inBody = true;
                const QStringView kind = xml.attributes().value(QStringLiteral("name"));
                notesBody = kind == u"notes" || kind == u"comments";
                lines.endLine();
            } else if (!inBody) {
                break;
            } else if (blockElements().contains(name)) {
                lines.endLine();
                if (!pendingMarker.isEmpty() && name == u"p") {
                    lines.literal(QString(pendingMarker + u' '));
                    pendingMarker.clear();
                }
            } else if (name == u"empty-line") {
                lines.blankLine();
            } else if (name == u"poem") {
                stanza = 0;
            } else if (name == u"stanza") {
                if (stanza++ > 0)
                    lines.blankLine();
            } else if (name == u"section" && !notesBody) {
                ++sections;
            } else if (name == u"title" && sections > 0) {
                lines.startHeading(sections);
            } else if (name == u"section" && notesBody) {
                lines.endLine();
                lines.startNote(xml.attributes().value(QStringLiteral("id")).toString());
                pendingMarker.clear();
                if (xml.readNextStartElement()) {
                    if (xml.name() == u"title") {
                        pendingMarker = noteMarker(xml.elementText());
                    } else {
                        // Not a title: read as any paragraph.
                        lines.endLine();
                        lines.text(xml.elementText());
                        lines.endLine();
                    }
                }
            } else if (name == u"a" && xml.attributes().value(QStringLiteral("type")) == u"note") {
                const QString key = linkTarget(xml.attributes());
                lines.noteReference(key, noteMarker(xml.elementText()));
            }
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QStringView name = xml.name();
            if (name == u"body") {
                inBody = false;
                lines.endLine();
            } else if (name == u"title" && sections > 0 && !notesBody) {
                lines.endHeading();
            } else if (name == u"section") {
                if (notesBody)
                    lines.endNote();
                lines.endLine();
                sections = notesBody ? sections : std::max(0, sections - 1);
            } else if (name == u"title" || name == u"section" || name == u"poem" || name == u"epigraph" ||
                       name == u"cite" || name == u"tr" || blockElements().contains(name.toString())) {
                lines.endLine();
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (inBody)
                lines.text(xml.text());
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        result.error = xmlFailureText(xml);
        return result;
    }
    finishBook(lines, result);
    return result;
}

} // namespace vel
