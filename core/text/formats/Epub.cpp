#include "core/text/formats/Epub.h"

#include "core/text/formats/BookLines.h"
#include "core/text/formats/Html.h"
#include "core/text/formats/XmlRead.h"

#include <QDir>
#include <QHash>
#include <QUrl>

namespace vel {

namespace {

// More parts than any book is made of; a package naming one chapter over and over stops here.
constexpr int kMaxSpineItems = 10'000;

const QString kContainer = QStringLiteral("META-INF/container.xml");
const QString kEncryption = QStringLiteral("META-INF/encryption.xml");

// Fonts may be obfuscated by these methods without the book being locked.
bool isFontObfuscation(QStringView algorithm) {
    return algorithm == u"http://www.idpf.org/2008/embedding" ||
           algorithm == u"http://ns.adobe.com/pdf/enc#RC";
}

// True when encryption.xml locks anything but fonts.
bool contentEncrypted(const QByteArray& encryption) {
    XmlReader xml(encryption);
    QString algorithm;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"EncryptionMethod") {
            algorithm = xml.attributes().value(QStringLiteral("Algorithm")).toString();
        } else if (xml.name() == u"CipherReference") {
            const QString uri = xml.attributes().value(QStringLiteral("URI")).toString().toLower();
            const bool font = uri.endsWith(u".ttf") || uri.endsWith(u".otf") || uri.endsWith(u".woff") ||
                              uri.endsWith(u".woff2");
            if (!font || !isFontObfuscation(algorithm))
                return true;
        }
    }
    // An encryption file that cannot be read is taken to lock the book.
    return xml.hasError();
}

QString rootFile(const QByteArray& container) {
    XmlReader xml(container);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"rootfile")
            return xml.attributes().value(QStringLiteral("full-path")).toString();
    }
    return {};
}

struct Package {
    QString title;
    QStringList authors;
    QStringList documents; // in reading order
    bool wellFormed = true;
    bool tooManyParts = false;
};

QString resolve(const QString& base, const QString& href) {
    QString path = QUrl::fromPercentEncoding(href.section(u'#', 0, 0).toUtf8());
    if (!base.isEmpty())
        path = base + u'/' + path;
    return QDir::cleanPath(path);
}

Package readPackage(const QByteArray& opf, const QString& base) {
    Package p;
    XmlReader xml(opf);
    QHash<QString, QString> manifest;
    QStringList linear, nonLinear;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"title" && xml.namespaceUri() == u"http://purl.org/dc/elements/1.1/") {
            const QString t = xml.elementText();
            if (p.title.isEmpty())
                p.title = t;
        } else if (name == u"creator") {
            // Illustrators and translators are creators too; an EPUB 2 role says so.
            QStringView role;
            for (const QXmlStreamAttribute& attribute : a)
                if (attribute.name() == u"role")
                    role = attribute.value();
            const QString who = xml.elementText();
            if (!who.isEmpty() && (role.isEmpty() || role == u"aut"))
                p.authors << who;
        } else if ((name == u"item" || name == u"itemref") &&
                   manifest.size() + linear.size() + nonLinear.size() >= 2 * kMaxSpineItems) {
            p.tooManyParts = true;
            break;
        } else if (name == u"item") {
            manifest.insert(a.value(QStringLiteral("id")).toString(),
                            resolve(base, a.value(QStringLiteral("href")).toString()));
        } else if (name == u"itemref") {
            const QString doc = manifest.value(a.value(QStringLiteral("idref")).toString());
            if (!doc.isEmpty())
                (a.value(QStringLiteral("linear")) == u"no" ? nonLinear : linear) << doc;
        }
    }
    p.wellFormed = !xml.hasError();
    p.documents = linear + nonLinear;
    p.tooManyParts = p.tooManyParts || p.documents.size() > kMaxSpineItems;
    return p;
}

} // namespace

bool isEpubTextEntry(const QString& name) {
    static const QStringList endings = {".xml", ".opf", ".xhtml", ".html", ".htm", ".xht"};
    for (const QString& e : endings)
        if (name.endsWith(e, Qt::CaseInsensitive))
            return true;
    return false;
}

TextImportResult readEpub(const ZipContents& zip) {
    TextImportResult result;
    if (!zip.ok()) {
        result.error = zipFailureText(zip.failure);
        return result;
    }
    QHash<QString, const QByteArray*> files;
    for (const ZipEntry& e : zip.entries)
        files.insert(e.name, &e.data);

    if (zip.names.contains(QStringLiteral("META-INF/rights.xml")) ||
        (files.contains(kEncryption) && contentEncrypted(*files.value(kEncryption)))) {
        result.error = QStringLiteral("Книгата е защитена срещу копиране (DRM) и не може да бъде прочетена");
        return result;
    }
    const QString opfPath = files.contains(kContainer) ? rootFile(*files.value(kContainer)) : QString();
    if (opfPath.isEmpty() || !files.contains(opfPath)) {
        result.error = QStringLiteral("Файлът не е книга EPUB (липсва описанието на книгата)");
        return result;
    }
    const Package package = readPackage(*files.value(opfPath), opfPath.section(u'/', 0, -2));
    if (!package.wellFormed) {
        result.error = QStringLiteral("Описанието на книгата EPUB е повредено");
        return result;
    }
    if (package.tooManyParts) {
        result.error = QStringLiteral("Книгата EPUB се състои от прекалено много части (повече от %1)")
                           .arg(kMaxSpineItems);
        return result;
    }

    BookLines lines;
    for (const QString& doc : package.documents) {
        if (lines.refused())
            break;
        const QByteArray* bytes = files.value(doc);
        if (!bytes)
            continue;
        BookLines chapter;
        XmlReader xml(*bytes);
        if (!readXhtml(xml, chapter)) {
            // A chapter over the limits is not read some other way; one only left open is tag soup.
            if (xml.error() == QXmlStreamReader::CustomError && !xml.tooDeep()) {
                lines.refuse(xmlFailureText(xml));
                break;
            }
            chapter = BookLines();
            readTagSoup(decodeText(*bytes).loaded.text, chapter);
        }
        lines.append(chapter);
    }
    result.loaded.title = package.title;
    result.loaded.author = package.authors.join(QStringLiteral(", "));
    finishBook(lines, result);
    return result;
}

} // namespace vel
