#include "ui/RichTextView.h"

#include "core/book/Fonts.h"
#include "core/book/PageCut.h"
#include "core/storage/Colors.h"

#include <QMouseEvent>
#include <QSignalBlocker>
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
    pageView_ = true;
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    // The margins are paper too.
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void RichTextView::setText(const QString& text) {
    text_ = text;
    {
        // Heard once the text reads back as set, not halfway through.
        const QSignalBlocker quiet(this);
        layOut();
    }
    Q_EMIT textChanged();
}

void RichTextView::layOut() {
    if (typesetting_ == Typesetting()) {
        laidOut_ = {};
        // Qt lays out a run without any break opportunity at a cost of its length for each of its lines:
        // a text holding a long one wraps anywhere here rather than take minutes. Pages wrap as they were cut.
        const auto wrap = !pageView_ && hasUnbrokenRun(text_) ? QTextOption::WrapAnywhere
                                                               : QTextOption::WrapAtWordBoundaryOrAnywhere;
        if (wordWrapMode() != wrap) {
            // Emptied first, so that the text on show is not laid out again the slow way.
            const QSignalBlocker quiet(this);
            document()->clear();
            setWordWrapMode(wrap);
        }
        // Nothing of a book setting carries over: not its justification, nor the format of the thin
        // spaces, which the view's plain-text setter would give to the whole text.
        QTextOption option = document()->defaultTextOption();
        option.setAlignment(QTextOption().alignment());
        document()->setDefaultTextOption(option);
        moveCursor(QTextCursor::Start);
        setCurrentCharFormat(QTextCharFormat());
        setPlainText(toDocumentText(text_));
    } else {
        laidOut_ = typesetDocument(*document(), toDocumentText(text_), typesetting_, flow_);
    }
    textRevision_ = document()->revision();
}

void RichTextView::setLayout(PageLayout layout) {
    const Typesetting t = Typesetting::of(layout, document()->defaultFont());
    if (t == typesetting_)
        return;
    typesetting_ = t;
    if (!text_.isEmpty())
        layOut();
}

void RichTextView::setPageMargins(const QMargins& margins) {
    setViewportMargins(margins);
}

int RichTextView::documentPosition(int index) const {
    // A CR LF is one paragraph break in the document.
    int pos = 0;
    const int end = std::min<int>(index, int(text_.size()));
    for (int i = 0; i < end; ++i)
        if (!(text_[i] == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n'))
            ++pos;
    return laidOut_.toLaidOut(pos);
}

int RichTextView::textIndex(int position) const {
    const int pos = laidOut_.toOriginal(position);
    int i = 0;
    for (int p = 0; p < pos && i < text_.size(); ++p)
        i += text_[i] == u'\r' && i + 1 < text_.size() && text_[i + 1] == u'\n' ? 2 : 1;
    return i;
}

QString RichTextView::text() const {
    if (textRevision_ == document()->revision())
        return text_;
    return toViewText(document()->toPlainText());
}

void RichTextView::setFontName(const QString& name) {
    fontName_ = name;
    applyFont();
    Q_EMIT lookChanged();
}

void RichTextView::setFontSize(double points) {
    fontSize_ = points;
    applyFont();
    Q_EMIT lookChanged();
}

void RichTextView::resizeEvent(QResizeEvent* e) {
    QTextEdit::resizeEvent(e);
    // Whether a page's run-on last line is full, and so set full, depends on the width.
    if (flow_.paragraphGoesOn && typesetting_.justify && !text_.isEmpty() &&
        e->size().width() != e->oldSize().width())
        layOut();
}

void RichTextView::applyFont() {
    const QFont f = displayFont(fontName_, fontSize_);
    setFont(f);
    document()->setDefaultFont(f);
    // The indent goes with the font.
    const Typesetting t = Typesetting::of(typesetting_.layout, f);
    if (t != typesetting_) {
        typesetting_ = t;
        if (!text_.isEmpty())
            layOut();
    }
}

void RichTextView::setBackColor(std::int32_t colorNumber) {
    backColor_ = colorNumber;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, colorFromNumber(colorNumber));
    pal.setColor(QPalette::Window, colorFromNumber(colorNumber)); // a page view's margins
    setPalette(pal);
    Q_EMIT lookChanged();
}

QString RichTextView::selectedText() const {
    const QTextCursor c = textCursor();
    if (laidOut_.added.empty() || textRevision_ != document()->revision())
        return toViewText(c.selectedText());
    const int from = textIndex(c.selectionStart());
    return text_.mid(from, textIndex(c.selectionEnd()) - from);
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
