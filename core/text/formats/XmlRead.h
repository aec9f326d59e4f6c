#pragma once
// What every book format read through QXmlStreamReader shares: bounded entity expansion, the named
// character entities of HTML, and one message for a document that is not well formed.

#include <QString>
#include <QXmlStreamReader>
#include <memory>

namespace vel {

class XmlReader : public QXmlStreamReader {
public:
    explicit XmlReader(const QByteArray& bytes);
    explicit XmlReader(const QString& text);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // The text of the current element and all its children, white space collapsed.
    QString elementText();

private:
    void setUp();
    std::unique_ptr<QXmlStreamEntityResolver> resolver_;
};

// "Книгата е повредена ..." with the line where the document went wrong.
QString xmlFailureText(const QXmlStreamReader& reader);

// Bulgarian messages shared by the book formats.

} // namespace vel
