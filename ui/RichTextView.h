#pragma once
// The text panel and the page views: a plain-text view with exactly the operations the windows use.

#include "core/book/Typeset.h"

#include <QTextEdit>
#include <cstdint>
#include <vector>

namespace vel {

class RichTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextView(QWidget* parent = nullptr);

    // A page view: read-only, no scroll bars, the arrow cursor of the caller's choice.
    void makePageView();

    // The whole text, line breaks CR LF; reading gives back exactly what was set while nobody edited it.
    // A page view lays it out as its typesetting sets a page placed as its page flow says; the soft hyphens
    // that adds are in the laid-out document only, never in the text.
    void setText(const QString& text);
    QString text() const;

    // How a page view sets its text, and the room it leaves around it; both change the laid-out lines.
    void setLayout(PageLayout layout);
    PageLayout layout() const { return typesetting_.layout; }
    const Typesetting& typesetting() const { return typesetting_; }
    void setPageFlow(const PageFlow& flow) { flow_ = flow; }
    const PageFlow& pageFlow() const { return flow_; }
    void setPageMargins(const QMargins& margins);
    QMargins pageMargins() const { return viewportMargins(); }

    // Between positions in text() (CR LF counting two) and in the laid-out document, both ways.
    int documentPosition(int index) const;
    int textIndex(int position) const;

    void setFontName(const QString& name);
    QString fontName() const { return fontName_; }
    void setFontSize(double points);
    double fontSize() const { return fontSize_; }

    void setBackColor(std::int32_t colorNumber);
    std::int32_t backColor() const { return backColor_; }

    QString selectedText() const;

Q_SIGNALS:
    void clicked();
    void mouseDown(Qt::MouseButton button);
    void mouseMoved();
    void mouseUp(Qt::MouseButton button);
    // Font, size or background changed.
    void lookChanged();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void applyFont();
    void layOut();
    // The text as set, valid while the document's revision is the one it was set at.
    QString text_;
    int textRevision_ = -1;
    QString fontName_ = QStringLiteral("Tahoma");
    double fontSize_ = 14.25;
    std::int32_t backColor_ = 0xFFFFFF;
    Typesetting typesetting_;
    bool pageView_ = false;
    PageFlow flow_;
    LaidOutText laidOut_; // the document's text when typeset; empty otherwise
};

// Plain text in the view's form (CR LF) from the document's form (paragraphs), and back.
QString toViewText(const QString& documentText);
QString toDocumentText(const QString& viewText);

} // namespace vel
