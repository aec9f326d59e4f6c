#include "core/opds/OpdsFeed.h"

#include "core/text/formats/XmlRead.h"

#include <QRegularExpression>
#include <array>

namespace vel {

namespace {

// Link relations of the catalogue format are this prefix and a name, compared as written in feeds.
const QString kRelPrefix = QStringLiteral("http://opds-spec.org/");
const QString kAcquisition = kRelPrefix + QStringLiteral("acquisition");
const QString kImage = kRelPrefix + QStringLiteral("image");
const QString kTermsMarker = QStringLiteral("{searchTerms}");

QString mainType(const QString& type) {
    return type.section(u';', 0, 0).trimmed().toLower();
}

bool isFeedType(const QString& type) {
    const QString t = type.toLower();
    // An entry document describes one book; only feeds are pages to walk.
    return mainType(t) == u"application/atom+xml" && !t.contains(QStringLiteral("type=entry"));
}

// Buying, borrowing and samples are no book to import.
bool isFreeAcquisition(const QString& rel) {
    return rel == kAcquisition || rel == kAcquisition + QStringLiteral("/open-access");
}

QUrl resolved(const QUrl& base, const QString& href) {
    return base.resolved(QUrl(href.trimmed()));
}

// Braces survive resolution only percent-encoded; the template wants them back.
QString resolvedTemplate(const QUrl& base, const QString& href) {
    QString t = resolved(base, href).toString(QUrl::FullyEncoded);
    t.replace(QStringLiteral("%7B"), QStringLiteral("{"), Qt::CaseInsensitive);
    t.replace(QStringLiteral("%7D"), QStringLiteral("}"), Qt::CaseInsensitive);
    t.replace(QStringLiteral("%3F}"), QStringLiteral("?}"), Qt::CaseInsensitive);
    return t;
}

// HTML summaries as plain text: breaks kept, tags dropped, the common entities read.
QString plainFromHtml(QString html) {
    static const QRegularExpression breaks(QStringLiteral("<\\s*(br|/p|/div|/li)[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    html.replace(breaks, QStringLiteral("\n"));
    html.remove(tags);
    QString out;
    qsizetype from = 0;
    for (auto it = numeric.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(html).mid(from, m.capturedStart() - from);
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && QChar::isPrint(char32_t(code)))
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        from = m.capturedEnd();
    }
    out += QStringView(html).mid(from);
    static const std::array<std::pair<const char*, const char*>, 6> named{
        {{"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}};
    for (const auto& [entity, text] : named)
        out.replace(QLatin1String(entity), QLatin1String(text));
    return out;
}

QString collapsed(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        if (const QString l = line.simplified(); !l.isEmpty())
            lines << l;
    return lines.join(u'\n');
}

OpdsLink readLink(const QXmlStreamReader& xml, const QUrl& base) {
    const QXmlStreamAttributes a = xml.attributes();
    return OpdsLink{resolved(base, a.value(QLatin1String("href")).toString()),
                    a.value(QLatin1String("rel")).toString().trimmed(),
                    a.value(QLatin1String("type")).toString().trimmed(),
                    a.value(QLatin1String("title")).toString().simplified()};
}

// Summary or content text: xhtml as its text, escaped html stripped, plain text as it is.
QString readContent(XmlReader& xml) {
    const QString type = xml.attributes().value(QLatin1String("type")).toString().toLower();
    if (type == u"xhtml")
        return xml.elementText();
    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    return type == u"html" || type == u"text/html" ? collapsed(plainFromHtml(text)) : collapsed(text);
}

OpdsEntry readEntry(XmlReader& xml, const QUrl& base) {
    OpdsEntry e;
    QString content;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == u"title") {
            e.title = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        } else if (name == u"id") {
            e.id = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == u"author") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"name") {
                    if (const QString n =
                            xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
                        !n.isEmpty())
                        e.authors << n;
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else if (name == u"summary") {
            e.summary = readContent(xml);
        } else if (name == u"content") {
            content = readContent(xml);
        } else if (name == u"series" || name == u"isPartOf") {
            const QXmlStreamAttributes a = xml.attributes();
            for (const char* attr : {"number", "index", "position"})
                if (const QString n = a.value(QLatin1String(attr)).toString().trimmed(); !n.isEmpty())
                    e.seriesNumber = n;
            e.series = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        } else if (name == u"series_index") {
            e.seriesNumber = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == u"link") {
            const OpdsLink link = readLink(xml, base);
            xml.skipCurrentElement();
            if (link.href.isEmpty() || !link.href.isValid())
                continue;
            if (link.rel.startsWith(kAcquisition)) {
                if (isFreeAcquisition(link.rel))
                    e.acquisitions << link;
            } else if (link.rel == kImage || link.rel == u"x-stanza-cover-image") {
                e.cover = link.href;
            } else if (link.rel == kImage + QStringLiteral("/thumbnail") ||
                       link.rel == u"x-stanza-cover-image-thumbnail") {
                e.thumbnail = link.href;
            } else if (isFeedType(link.type) && !isBackwardRel(link.rel)) {
                e.feeds << link;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (e.summary.isEmpty())
        e.summary = content;
    if (e.thumbnail.isEmpty())
        e.thumbnail = e.cover;
    return e;
}

void readFeedLink(OpdsFeed& feed, const OpdsLink& link) {
    const QString rel = link.rel.toLower();
    if (rel == u"next")
        feed.next = link.href;
    else if (rel == u"previous" || rel == u"prev")
        feed.previous = link.href;
    else if (rel == u"start")
        feed.start = link.href;
    else if (rel == u"up")
        feed.up = link.href;
}

} // namespace

bool isBackwardRel(const QString& rel) {
    static const QStringList backward{QStringLiteral("self"),
                                      QStringLiteral("start"),
                                      QStringLiteral("up"),
                                      QStringLiteral("first"),
                                      QStringLiteral("last"),
                                      QStringLiteral("previous"),
                                      QStringLiteral("prev"),
                                      QStringLiteral("next"),
                                      QStringLiteral("search"),
                                      kRelPrefix + QStringLiteral("sort/start"),
                                      kRelPrefix + QStringLiteral("shelf")};
    return backward.contains(rel.trimmed().toLower());
}

OpdsParse parseOpdsFeed(const QByteArray& bytes, const QUrl& base) {
    OpdsParse r;
    XmlReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"feed") {
        r.error =
            QStringLiteral("Страницата не е каталог OPDS:\r\n") + base.toDisplayString(QUrl::RemoveUserInfo);
        return r;
    }
    OpdsFeed& feed = r.feed;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == u"title") {
            feed.title = xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        } else if (name == u"entry") {
            feed.entries << readEntry(xml, base);
        } else if (name == u"link") {
            const QXmlStreamAttributes a = xml.attributes();
            const QString href = a.value(QLatin1String("href")).toString();
            const OpdsLink link = readLink(xml, base);
            xml.skipCurrentElement();
            if (link.rel.compare(u"search", Qt::CaseInsensitive) == 0) {
                if (mainType(link.type) == u"application/opensearchdescription+xml")
                    feed.searchDescription = link.href;
                else if (href.contains(kTermsMarker))
                    feed.searchTemplate = resolvedTemplate(base, href);
            } else if (isFeedType(link.type) || link.type.isEmpty()) {
                readFeedLink(feed, link);
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        r.error = QStringLiteral("Страницата на каталога е повредена:\r\n") +
                  base.toDisplayString(QUrl::RemoveUserInfo);
    return r;
}

QString openSearchTemplate(const QByteArray& bytes, const QUrl& base) {
    XmlReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"OpenSearchDescription")
        return {};
    QString fallback;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"Url") {
            xml.skipCurrentElement();
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const QString href = a.value(QLatin1String("template")).toString();
        const QString type = a.value(QLatin1String("type")).toString();
        xml.skipCurrentElement();
        if (!href.contains(kTermsMarker))
            continue;
        if (mainType(type) == u"application/atom+xml")
            return resolvedTemplate(base, href);
        if (fallback.isEmpty())
            fallback = resolvedTemplate(base, href);
    }
    return xml.hasError() ? QString() : fallback;
}

QUrl searchUrl(const QString& searchTemplate, const QString& words) {
    static const QRegularExpression optional(QStringLiteral("\\{[^{}]*\\}"));
    QString t = searchTemplate;
    t.replace(kTermsMarker, QString::fromLatin1(QUrl::toPercentEncoding(words.simplified())));
    t.remove(optional);
    return QUrl(t, QUrl::StrictMode);
}

std::optional<OpdsLink> bestAcquisition(const OpdsEntry& entry) {
    // Lower is better; the file's name decides when the type is a bare zip or missing.
    auto rank = [](const OpdsLink& l) {
        const QString type = mainType(l.type);
        const QString path = l.href.path().toLower();
        if (type.contains(u"fb2") || type.contains(u"fictionbook") || path.endsWith(u".fb2.zip") ||
            path.endsWith(u".fb2"))
            return 0;
        if (type == u"application/epub+zip" || path.endsWith(u".epub"))
            return 1;
        if (type == u"text/plain" || type.contains(u"txt") || path.endsWith(u".txt") ||
            path.endsWith(u".txt.zip"))
            return 2;
        return 3;
    };
    std::optional<OpdsLink> best;
    int bestRank = 3;
    for (const OpdsLink& l : entry.acquisitions) {
        const int r = rank(l);
        if (r < bestRank) {
            bestRank = r;
            best = l;
        }
    }
    return best;
}

} // namespace vel
