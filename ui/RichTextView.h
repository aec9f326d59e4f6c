#pragma once
// The text panel and the page views: a plain-text view with exactly the operations the windows use.

#include <QTextEdit>
#include <cstdint>

namespace vel {

class RichTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextView(QWidget* parent = nullptr);

    // A page view: read-only, no scroll bars, the arrow cursor of the caller's choice.
    void makePageView();

    // The whole text, line breaks CR LF; reading gives back exactly what was set while nobody edited it.
    void setText(const QString& text);
    QString text() const;

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

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void applyFont();
    // The text as set, valid while the document's revision is the one it was set at.
    QString text_;
    int textRevision_ = -1;
    QString fontName_ = QStringLiteral("Tahoma");
    double fontSize_ = 14.25;
    std::int32_t backColor_ = 0xFFFFFF;
};

// Plain text in the view's form (CR LF) from the document's form (paragraphs), and back.
QString toViewText(const QString& documentText);
QString toDocumentText(const QString& viewText);

} // namespace vel
