#include "core/text/formats/XmlRead.h"

#include <QHash>

namespace vel {

namespace {

// An internal entity may expand to no more than this many characters in all; a "billion laughs"
// document stops with an error instead of filling the memory.
constexpr int kEntityExpansionLimit = 64 * 1024;

// XHTML books written by hand use HTML's names for typographic characters without declaring them.
class HtmlEntities : public QXmlStreamEntityResolver {
public:
    QString resolveUndeclaredEntity(const QString& name) override {
        static const QHash<QString, QString> table = {
            {"nbsp", QString(QChar(0xa0))},     {"shy", QString(QChar(0xad))},
            {"ndash", QString(QChar(0x2013))},  {"mdash", QString(QChar(0x2014))},
            {"hellip", QString(QChar(0x2026))}, {"laquo", QString(QChar(0xab))},
            {"raquo", QString(QChar(0xbb))},    {"bdquo", QString(QChar(0x201e))},
            {"ldquo", QString(QChar(0x201c))},  {"rdquo", QString(QChar(0x201d))},
            {"lsquo", QString(QChar(0x2018))},  {"rsquo", QString(QChar(0x2019))},
            {"sbquo", QString(QChar(0x201a))},  {"copy", QString(QChar(0xa9))},
            {"reg", QString(QChar(0xae))},      {"deg", QString(QChar(0xb0))},
            {"sect", QString(QChar(0xa7))},     {"para", QString(QChar(0xb6))},
            {"middot", QString(QChar(0xb7))},   {"bull", QString(QChar(0x2022))},
            {"times", QString(QChar(0xd7))},    {"minus", QString(QChar(0x2212))},
            {"thinsp", QString(QChar(0x2009))}, {"ensp", QString(QChar(0x2002))},
            {"emsp", QString(QChar(0x2003))},   {"prime", QString(QChar(0x2032))},
            {"Prime", QString(QChar(0x2033))},  {"euro", QString(QChar(0x20ac))},
            {"numero", QString(QChar(0x2116))}, {"dagger", QString(QChar(0x2020))},
            {"Dagger", QString(QChar(0x2021))}, {"zwnj", QString(QChar(0x200c))},
            {"zwj", QString(QChar(0x200d))},
        };
        return table.value(name);
    }
};

} // namespace

XmlReader::XmlReader(const QByteArray& bytes) : QXmlStreamReader(bytes) {
    setUp();
}

XmlReader::XmlReader(const QString& text) : QXmlStreamReader(text) {
    setUp();
}

XmlReader::~XmlReader() = default;

void XmlReader::setUp() {
    resolver_ = std::make_unique<HtmlEntities>();
    setEntityResolver(resolver_.get());
    setEntityExpansionLimit(kEntityExpansionLimit);
    setNamespaceProcessing(true);
}

QString XmlReader::elementText() {
    return readElementText(QXmlStreamReader::IncludeChildElements).simplified();
}

QString xmlFailureText(const QXmlStreamReader& reader) {
    return QStringLiteral("Файлът е повреден и не може да бъде прочетен (грешка в XML на ред %1)")
        .arg(reader.lineNumber());
}

} // namespace vel
