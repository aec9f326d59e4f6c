#include "core/text/formats/Html.h"

#include <QRegularExpression>
#include <QSet>

#include <QStringDecoder>
#include <algorithm>

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

// LibreOffice writes a note as <div id="sdfootnote1"> (sdendnote for end notes) opening with a link back to
// its reference, and refers to it by the id of that link, "#sdfootnote1sym"; the reference's own id ends
// in "anc".
bool isOfficeNote(QStringView id) {
    static const QRegularExpression note(QStringLiteral("^sd(foot|end)note[0-9]+$"));
    return id.startsWith(u"sd") && note.match(id).hasMatch();
}
// The note an office link names, and whether it is the note's link back: empty when it is no such link.
QString officeNoteLink(QStringView href, bool* back) {
    static const QRegularExpression link(QStringLiteral("^(sd(foot|end)note[0-9]+)(sym|anc)$"));
    const QStringView fragment = href.sliced(href.indexOf(u'#') + 1);
    if (!fragment.startsWith(u"sd"))
        return {};
    const QRegularExpressionMatch m = link.match(fragment);
    if (!m.hasMatch())
        return {};
    *back = m.capturedView(3) == u"anc";
    return m.captured(1);
}

bool isNumber(QStringView s) {
    return !s.isEmpty() && s.size() <= 4 && std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
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
    bool noteOpening = false; // in a note, before its first text
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
            if (noteDepth == 0 && (isNote(attributes) || isOfficeNote(attributes.value(QStringLiteral("id"))))) {
                out->endLine();
                noteDepth = depth;
                out = &lines.notes();
                out->startNote(attributes.value(QStringLiteral("id")).toString());
                noteOpening = true;
            }
            if (name == u"a") {
                const QStringView href = attributes.value(QStringLiteral("href"));
                bool back = false;
                QString key = officeNoteLink(href, &back);
                if (noteDepth > 0 && noteOpening && !href.isEmpty()) {
                    // A note opening with a link back to its reference: that link is the note's number.
                    const QString number = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    out->text(isNumber(number) ? noteMarker(number) + u' ' : number);
                    --depth;
                    break;
                }
                if (back)
                    key.clear();
                if (!key.isEmpty() || isNoteReference(attributes)) {
                    if (key.isEmpty())
                        key = href.toString().section(u'#', 1);
                    out->noteReference(key, noteMarker(xml.readElementText(
                                                QXmlStreamReader::IncludeChildElements)));
                    --depth;
                    break;
                }
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
            noteOpening = noteOpening && xml.isWhitespace();
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

namespace {

// HTML as a browser forgives it, read in one pass over the text: it fetches nothing and keeps no stack, so
// neither its time nor its memory grows faster than the document.
class TagSoup {
public:
    TagSoup(const QString& html, BookLines& lines)
        : p_(html.constData()), end_(p_ + html.size()), out_(lines) {}

    void read(QString* title) {
        while (p_ < end_ && !out_.refused()) {
            if (*p_ == u'<' && p_ + 1 < end_ &&
                (p_[1].isLetter() || p_[1] == u'/' || p_[1] == u'!' || p_[1] == u'?'))
                tag(title);
            else
                text();
        }
        out_.endLine();
    }

private:
    bool at(QLatin1StringView s) const {
        return end_ - p_ >= s.size() && QStringView(p_, s.size()).compare(s, Qt::CaseInsensitive) == 0;
    }
    void skipPast(QLatin1StringView s) {
        while (p_ < end_ && !at(s))
            ++p_;
        p_ = std::min(end_, p_ + s.size());
    }

    void text() {
        const QChar* run = p_;
        while (p_ < end_ && *p_ != u'<' && *p_ != u'&')
            ++p_;
        put(QStringView(run, p_));
        if (p_ < end_ && *p_ == u'&')
            reference();
        else if (p_ < end_ && run == p_)
            put(QStringView(p_++, 1)); // a '<' that starts no tag
    }

    void put(QStringView s) {
        if (s.isEmpty() || dropDepth_ > 0)
            return;
        if (!pre_) {
            out_.text(s);
            return;
        }
        // Preformatted text keeps its line breaks.
        qsizetype from = 0;
        for (qsizetype i = 0; i <= s.size(); ++i) {
            if (i < s.size() && s[i] != u'\n')
                continue;
            out_.literal(s.mid(from, i - from).toString().remove(u'\r'));
            if (i < s.size())
                out_.endLine();
            from = i + 1;
        }
    }

    void reference() {
        const QChar* start = ++p_;
        const QChar* q = p_;
        while (q < end_ && q - start < 32 && (q->isLetterOrNumber() || *q == u'#'))
            ++q;
        QString character;
        const QStringView name(start, q);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                                  ? name.mid(2).toUInt(&ok, 16)
                                  : name.mid(1).toUInt(&ok);
            if (ok && code > 0 && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff))
                character = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        } else if (!name.isEmpty()) {
            character = htmlEntity(name.toString());
        }
        if (character.isNull()) {
            put(u"&");
            return;
        }
        p_ = q < end_ && *q == u';' ? q + 1 : q;
        put(character);
    }

    // Elements whose content is not text: skipped up to their end tag.
    static bool isRawText(QStringView name) {
        return name == u"script" || name == u"style" || name == u"textarea" || name == u"xmp" ||
               name == u"noscript" || name == u"template" || name == u"title";
    }
    static bool isVoid(QStringView name) {
        return name == u"img" || name == u"input" || name == u"embed" || name == u"br" || name == u"hr" ||
               name == u"meta" || name == u"link" || name == u"area" || name == u"source" || name == u"wbr";
    }

    void tag(QString* title) {
        if (at(QLatin1StringView("<!--")))
            return skipPast(QLatin1StringView("-->"));
        if (at(QLatin1StringView("<!")) || at(QLatin1StringView("<?")))
            return skipPast(QLatin1StringView(">"));
        ++p_;
        const bool closing = *p_ == u'/';
        if (closing)
            ++p_;
        const QChar* nameStart = p_;
        while (p_ < end_ && (p_->isLetterOrNumber() || *p_ == u'-' || *p_ == u':'))
            ++p_;
        const QString name = QStringView(nameStart, p_).toString().toLower();
        // Attributes are passed over, quotes kept together.
        QChar quote;
        for (; p_ < end_; ++p_) {
            if (!quote.isNull()) {
                if (*p_ == quote)
                    quote = QChar();
            } else if (*p_ == u'"' || *p_ == u'\'') {
                quote = *p_;
            } else if (*p_ == u'>') {
                break;
            }
        }
        const bool selfClosing = p_ > nameStart && p_[-1] == u'/';
        p_ = std::min(end_, p_ + 1);

        if (!closing && isRawText(name)) {
            const QChar* content = p_;
            const QChar* close = end_;
            for (const QChar* q = p_; q + 1 < end_; ++q) {
                if (q[0] == u'<' && q[1] == u'/' &&
                    QStringView(q + 2, std::min<qsizetype>(end_ - q - 2, name.size()))
                            .compare(name, Qt::CaseInsensitive) == 0) {
                    close = q;
                    break;
                }
            }
            if (name == u"title" && title && title->isEmpty())
                *title = QStringView(content, close).toString().simplified();
            p_ = close;
            skipPast(QLatin1StringView(">"));
            return;
        }
        if (dropped().contains(name)) {
            if (!isVoid(name) && !selfClosing)
                dropDepth_ = closing ? std::max(0, dropDepth_ - 1) : dropDepth_ + 1;
            return;
        }
        if (dropDepth_ > 0)
            return;
        // A heading left open ends at the next one.
        if (const int level = headingLevel(name); level > 0) {
            if (closing)
                out_.endHeading();
            else
                out_.startHeading(level);
        } else if (name == u"br") {
            out_.endLine();
        } else if (name == u"hr") {
            out_.blankLine();
        } else if (blocks().contains(name)) {
            out_.endLine();
            if (name == u"pre")
                pre_ = !closing;
        }
    }

    const QChar* p_;
    const QChar* const end_;
    BookLines& out_;
    int dropDepth_ = 0;
    bool pre_ = false;
};

} // namespace

void readTagSoup(const QString& html, BookLines& lines, QString* title) {
    TagSoup(html, lines).read(title);
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
    // A document over the limits is not read some other way; one only left open is tag soup.
    if (xml.error() == QXmlStreamReader::CustomError && !xml.tooDeep()) {
        lines.refuse(xmlFailureText(xml));
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
