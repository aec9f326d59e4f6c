#pragma once
// What every book format read through QXmlStreamReader shares: bounded entity expansion, the named
// character entities of HTML, and one message for a document that is not well formed.

#include <QString>
#include <QXmlStreamReader>
#include <memory>

namespace vel {

// All the declared entities of one document together may expand to no more than this many characters: a
// book needs a few short ones, and every reference repeats its whole text in memory.
inline constexpr qsizetype kEntityExpansionBudget = 1024 * 1024;
// No element of a book carries this many attributes; the XML reader's duplicate check grows with their
// square.
inline constexpr int kMaxAttributes = 1000;
// Nor is any book nested this deep.
inline constexpr int kMaxNesting = 2000;

class XmlReader : public QXmlStreamReader {
public:
    // The document is looked over for the limits above before it is read; one that breaks them reads as
    // an error at once.
    explicit XmlReader(const QByteArray& bytes);
    explicit XmlReader(const QString& text);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Refused for its nesting alone: HTML that leaves its elements open looks so, and may still be read as
    // HTML is.
    bool tooDeep() const;

    // The text of the current element and all its children, white space collapsed.
    QString elementText();

private:
    void setUp();
    std::unique_ptr<QXmlStreamEntityResolver> resolver_;
};

// "Книгата е повредена ..." with the line where the document went wrong, or the limit it broke.
QString xmlFailureText(const QXmlStreamReader& reader);

// The character of an HTML named entity ("nbsp", "mdash", the XML five, ...); a null string for others.
QString htmlEntity(const QString& name);

} // namespace vel
