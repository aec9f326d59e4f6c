#include "ui/RichTextView.h"

#include "core/book/Fonts.h"
#include "core/storage/Colors.h"

#include <QMouseEvent>
#include <QTextDocument>

namespace vel {

QString toViewText(const QString& documentText) {
    QString out;
    out.reserve(documentText.size() + documentText.size() / 32);
    for (QChar c : documentText) {
        if (c == QChar::ParagraphSeparator || c == QLatin1Char('\n'))
            out += QStringLiteral("\r\n");
        else
            out += c;
    }
    return out;
}

QString toDocumentText(const QString& viewText) {
    QString out = viewText;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

RichTextView::RichTextView(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    viewport()->setMouseTracking(true);
    applyFont();
    setBackColor(0xFFFFFF);
}

void RichTextView::makePageView() {
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
}

void RichTextView::setText(const QString& text) {
    setPlainText(toDocumentText(text));
    text_ = text;
    textRevision_ = document()->revision();
}

QString RichTextView::text() const {
    if (textRevision_ == document()->revision())
        return text_;
    return toViewText(document()->toPlainText());
}

void RichTextView::setFontName(const QString& name) {
    fontName_ = name;
    applyFont();
}

void RichTextView::setFontSize(double points) {
    fontSize_ = points;
    applyFont();
}

void RichTextView::applyFont() {
    const QFont f = displayFont(fontName_, fontSize_);
    setFont(f);
    document()->setDefaultFont(f);
}

void RichTextView::setBackColor(std::int32_t colorNumber) {
    backColor_ = colorNumber;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, colorFromNumber(colorNumber));
    setPalette(pal);
}

QString RichTextView::selectedText() const {
    return toViewText(textCursor().selectedText());
}

void RichTextView::mousePressEvent(QMouseEvent* e) {
    QTextEdit::mousePressEvent(e);
    Q_EMIT mouseDown(e->button());
}

void RichTextView::mouseMoveEvent(QMouseEvent* e) {
    QTextEdit::mouseMoveEvent(e);
    Q_EMIT mouseMoved();
}

void RichTextView::mouseReleaseEvent(QMouseEvent* e) {
    QTextEdit::mouseReleaseEvent(e);
    Q_EMIT mouseUp(e->button());
    if (e->button() == Qt::LeftButton && viewport()->rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace vel
