#include "core/text/formats/XmlRead.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace vel {

namespace {

// A single internal entity may expand to no more than this many characters; the total budget above bounds
// them together.
constexpr int kEntityExpansionLimit = 64 * 1024;

const QHash<QString, QString>& htmlEntities() {
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
    return table;
}

// XHTML books written by hand use HTML's names for typographic characters without declaring them.
class HtmlEntities : public QXmlStreamEntityResolver {
public:
    QString resolveUndeclaredEntity(const QString& name) override { return htmlEntities().value(name); }
};

QString tooDeepText() {
    return QStringLiteral("Файлът е вложен прекалено дълбоко и не беше прочетен");
}

// A linear look over the markup before the XML reader builds anything: the reader itself expands every
// entity reference of a run of text into one string, and checks an element's attributes against each
// other. Works on the raw bytes too, whatever the encoding: markup is ASCII, and in UTF-16 only longer.
template <typename C> class MarkupScan {
public:
    MarkupScan(const C* begin, const C* end) : p_(begin), end_(end) {}

    QString run() {
        while (p_ < end_ && error_.isEmpty()) {
            if (*p_ == C('<'))
                markup();
            else if (*p_ == C('&'))
                reference();
            else
                ++p_;
        }
        return error_;
    }

private:
    using Name = std::basic_string_view<C>;

    bool at(const char* s) const {
        const C* q = p_;
        for (; *s; ++s, ++q)
            if (q >= end_ || *q != C(*s))
                return false;
        return true;
    }
    void skipPast(const char* s) {
        while (p_ < end_ && !at(s))
            ++p_;
        p_ = std::min(end_, p_ + qsizetype(qstrlen(s)));
    }
    static bool isSpace(C c) { return c == C(' ') || c == C('\t') || c == C('\n') || c == C('\r'); }
    static bool isQuote(C c) { return c == C('"') || c == C('\''); }

    void markup() {
        if (at("<!--"))
            return skipPast("-->");
        if (at("<![CDATA["))
            return skipPast("]]>");
        if (at("<?"))
            return skipPast("?>");
        if (at("<!DOCTYPE"))
            return doctype();
        if (at("<!"))
            return skipPast(">");
        const bool closing = at("</");
        ++p_;
        int attributes = 0;
        C quote = 0;
        const C* last = p_;
        for (; p_ < end_; ++p_) {
            const C c = *p_;
            if (quote) {
                if (c == quote)
                    quote = 0;
                else if (c == C('&'))
                    reference();
                continue;
            }
            if (isQuote(c))
                quote = c;
            else if (c == C('='))
                ++attributes;
            else if (c == C('>'))
                break;
            if (!isSpace(c))
                last = p_;
        }
        if (closing)
            depth_ = std::max(0, depth_ - 1);
        else if (p_ < end_ && *last != C('/'))
            ++depth_;
        ++p_;
        if (attributes > kMaxAttributes)
            error_ = QStringLiteral("Файлът има елемент с прекалено много атрибути и не беше прочетен");
        else if (depth_ > kMaxNesting)
            error_ = tooDeepText();
    }

    // The internal subset's general entities; only their sizes matter here.
    void doctype() {
        while (p_ < end_ && *p_ != C('[') && *p_ != C('>'))
            ++p_;
        if (p_ >= end_ || *p_ == C('>'))
            return;
        ++p_;
        while (p_ < end_ && *p_ != C(']')) {
            if (at("<!ENTITY")) {
                p_ += 8;
                while (p_ < end_ && isSpace(*p_))
                    ++p_;
                const bool parameter = p_ < end_ && *p_ == C('%');
                const C* name = p_;
                while (p_ < end_ && !isSpace(*p_) && *p_ != C('>'))
                    ++p_;
                const Name entity(name, size_t(p_ - name));
                while (p_ < end_ && !isQuote(*p_) && *p_ != C('>'))
                    ++p_;
                if (p_ < end_ && isQuote(*p_)) {
                    const C quote = *p_++;
                    const C* value = p_;
                    while (p_ < end_ && *p_ != quote)
                        ++p_;
                    if (!parameter)
                        values_.emplace(entity, Name(value, size_t(p_ - value)));
                }
                skipPast(">");
            } else if (*p_ == C('<')) {
                markup();
            } else {
                ++p_;
            }
        }
    }

    // Characters an entity stands for once every reference inside it is expanded; at most the budget + 1.
    // Each entity is measured once; one that refers back to itself counts as too large.
    qsizetype expandedSize(Name name) {
        if (const auto known = sizes_.find(name); known != sizes_.end())
            return known->second;
        const auto it = values_.find(name);
        if (it == values_.end())
            return 0; // undeclared: one of HTML's characters, or an error the reader reports
        sizes_[name] = kEntityExpansionBudget + 1;
        const Name value = it->second;
        qsizetype size = 0;
        for (size_t i = 0; i < value.size() && size <= kEntityExpansionBudget; ++i) {
            if (value[i] != C('&')) {
                ++size;
                continue;
            }
            const size_t semi = value.find(C(';'), i);
            if (semi == Name::npos)
                break;
            size += expandedSize(value.substr(i + 1, semi - i - 1));
            i = semi;
        }
        size = std::min(size, kEntityExpansionBudget + 1);
        sizes_[name] = size;
        return size;
    }

    void reference() {
        const C* start = ++p_;
        while (p_ < end_ && p_ - start < 64 && *p_ != C(';') && *p_ != C('<') && !isSpace(*p_))
            ++p_;
        if (values_.empty() || p_ >= end_ || *p_ != C(';'))
            return;
        expanded_ += expandedSize(Name(start, size_t(p_ - start)));
        if (expanded_ > kEntityExpansionBudget)
            error_ = QStringLiteral("Файлът разгръща своите XML същности до прекалено голям обем и не беше "
                                    "прочетен");
    }

    const C* p_;
    const C* const end_;
    int depth_ = 0;
    qsizetype expanded_ = 0;
    std::unordered_map<Name, Name> values_;
    std::unordered_map<Name, qsizetype> sizes_;
    QString error_;
};

template <typename C> QString scanMarkup(const C* data, qsizetype size) {
    return MarkupScan<C>(data, data + size).run();
}

} // namespace

QString htmlEntity(const QString& name) {
    static const QHash<QString, QString> xml = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"},
    };
    const auto it = xml.constFind(name);
    return it != xml.constEnd() ? *it : htmlEntities().value(name);
}

XmlReader::XmlReader(const QByteArray& bytes) : QXmlStreamReader(bytes) {
    setUp();
    // In UTF-16 and UTF-32 the bytes of a letter may look like markup; those are looked over decoded.
    const auto wide = QStringConverter::encodingForData(bytes, u'<');
    QString broken;
    if (wide && *wide != QStringConverter::Utf8) {
        const QString text = QStringDecoder(*wide)(bytes);
        broken = scanMarkup(reinterpret_cast<const char16_t*>(text.constData()), text.size());
    } else {
        broken = scanMarkup(bytes.constData(), bytes.size());
    }
    if (!broken.isEmpty())
        raiseError(broken);
}

XmlReader::XmlReader(const QString& text) : QXmlStreamReader(text) {
    setUp();
    const QString broken = scanMarkup(reinterpret_cast<const char16_t*>(text.constData()), text.size());
    if (!broken.isEmpty())
        raiseError(broken);
}

XmlReader::~XmlReader() = default;

bool XmlReader::tooDeep() const {
    return error() == CustomError && errorString() == tooDeepText();
}

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
    if (reader.error() == QXmlStreamReader::CustomError)
        return reader.errorString();
    return QStringLiteral("Файлът е повреден и не може да бъде прочетен (грешка в XML на ред %1)")
        .arg(reader.lineNumber());
}

} // namespace vel
