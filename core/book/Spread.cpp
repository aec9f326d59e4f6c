#include "core/book/Spread.h"

#include <algorithm>
#include <cmath>

namespace vel {

Spread::Spread(int recordCount, PageReader reader) : count_(recordCount), reader_(std::move(reader)) {}

std::optional<StoredPage> Spread::read(int n) const {
    if (!reader_ || n < 1 || n > count_)
        return std::nullopt;
    StoredPage p = reader_(n);
    if (!p.ok)
        return std::nullopt;
    return p;
}

bool Spread::showAt(int n) {
    if (n < 1)
        return false;
    const int pos = std::min(n, count_);
    const auto left = read(pos);
    if (!left)
        return false;
    SpreadView v = view_;
    v.leftText = left->text;
    v.label1 = left->label;
    if (pos + 1 > count_) {
        v.rightText.clear();
        v.label2 = QString::number(n + 1);
    } else {
        const auto right = read(pos + 1);
        if (!right)
            return false;
        v.rightText = right->text;
        v.label2 = right->label;
    }
    bool ok = false;
    const int counter = v.label2.trimmed().toInt(&ok);
    if (!ok)
        return false;
    v.pageBox = QString::number(n);
    view_ = v;
    pos_ = pos + 1;
    pageCounter_ = counter;
    return true;
}

bool Spread::openAtBookmark(int p) {
    const auto last = read(count_);
    if (!last)
        return false;
    bool ok = false;
    int lastPage = last->label.trimmed().toInt(&ok);
    if (!ok || lastPage < 1)
        lastPage = count_;
    // A bookmark can only name a spread of this work: beyond its end it would show the last page under a
    // wrong number, and turning back from there would run off the work's first page.
    const int lastLeft = (count_ % 2 == 1) ? count_ : std::max(1, count_ - 1);
    p = std::clamp(p, 1, lastLeft);

    const auto left = read(p);
    if (!left)
        return false;
    QString rightText;
    if (p + 1 <= count_) {
        const auto right = read(p + 1);
        if (!right)
            return false;
        rightText = right->text;
    }
    if (rightText == left->text)
        rightText.clear();

    lastPage_ = lastPage;
    pageCounter_ = p + 1;
    pos_ = p + 1;
    view_.leftText = left->text;
    view_.rightText = rightText;
    view_.label2 = QString::number(pageCounter_);
    view_.label1 = QString::number(pageCounter_ - 1);
    view_.pageBox = QString::number(p);
    return true;
}

bool Spread::forward() {
    if (pageCounter_ >= lastPage_)
        return false;
    const auto left = read(pos_ + 1);
    if (!left)
        return false;
    const int counter = pageCounter_ + 2;
    QString rightText;
    if (counter <= lastPage_) {
        const auto right = read(pos_ + 2);
        if (!right)
            return false;
        rightText = right->text;
    }
    view_.leftText = left->text;
    view_.label1 = QString::number(pageCounter_ + 1);
    view_.pageBox = view_.label1;
    view_.rightText = rightText;
    view_.label2 = QString::number(counter);
    pageCounter_ = counter;
    pos_ += 2;
    return true;
}

bool Spread::back() {
    if (pageCounter_ <= 2)
        return false;
    const auto right = read(pos_ - 2);
    const auto left = read(pos_ - 3);
    if (!right || !left)
        return false;
    view_.rightText = right->text;
    view_.label2 = QString::number(pageCounter_ - 2);
    view_.leftText = left->text;
    view_.label1 = QString::number(pageCounter_ - 3);
    view_.pageBox = view_.label1;
    pageCounter_ -= 2;
    pos_ -= 2;
    return true;
}

void Spread::tidyUp() {
    bool ok = false;
    const int right = view_.label2.trimmed().toInt(&ok);
    if (ok)
        view_.label1 = QString::number(right - 1);
    if (view_.leftText == view_.rightText)
        view_.rightText.clear();
}

int Spread::endOfBookRule(int leftPage, int lastPage) {
    if (leftPage > 4 && leftPage + 3 > lastPage)
        return leftPage - 4;
    return leftPage;
}

QStringList Spread::leftPageNumbers(int lastPage) {
    QStringList list;
    if (lastPage < 1)
        return list;
    list.reserve((lastPage + 1) / 2);
    for (int i = 1; i <= lastPage; i += 2)
        list.append(QString::number(i));
    return list;
}

int Spread::listRowOf(int leftPage, int lastPage) {
    if (leftPage < 1 || leftPage > lastPage || leftPage % 2 == 0)
        return -1;
    return (leftPage - 1) / 2;
}

int Spread::fontStep(float x, float y) {
    const float s = (x + y) / 2.0f;
    if (s > 1.0f)
        return 1;
    if (s < 1.0f)
        return -1;
    return 0;
}

BookLayout bookLayout(double w, double h, double label1Width, double label2Width) {
    // Above the design screen the picture's round buttons grow with the height and the page numbers' font
    // with the square of the scale: the room above and below the pages grows alike, so that neither the
    // buttons nor the numbers reach into the pages or off the screen.
    const double grow = std::max(1.0, h / (768.0 * kTwipsPerPixel));
    const double top = 420 * grow;
    const double bottom = 380 * grow * grow;
    BookLayout l;
    l.r1.width = w / 2 - 840;
    l.r2.width = l.r1.width + 40;
    l.r1.height = h - top - bottom;
    l.r2.height = l.r1.height;
    l.r1.top = top;
    l.r2.top = l.r1.top;
    l.r1.left = 420;
    l.r2.left = l.r1.left + l.r1.width + 840;
    l.label1Left = l.r1.left + l.r1.width / 2 - label1Width / 2;
    l.label1Top = l.r1.top + l.r1.height + 70;
    l.label2Top = l.label1Top;
    l.label2Left = l.r2.left + l.r2.width / 2 - label2Width / 2;
    return l;
}

std::optional<double> pointsFromText(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return std::nullopt;
    return v;
}

double steppedFontSize(double points, int fontStep) {
    return std::round((points + fontStep) * 10000.0) / 10000.0;
}

std::optional<int> wholeNumber16(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < -32768 || v > 32767)
        return std::nullopt;
    return v;
}

} // namespace vel
