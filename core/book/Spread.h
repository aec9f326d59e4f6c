#pragma once
// The book's two-page spread as plain arithmetic: which pages are on show, their labels, the page counter
// and the record the work's cursor stands on, for opening at a bookmark, jumping, and turning by two pages.
// The window copies the resulting view into its page views and labels; nothing here needs a window.

#include "core/book/Twips.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vel {

// One stored page as the work file gives it; ok is false when it could not be read.
struct StoredPage {
    QString label;
    QString text;
    bool ok = true;
};
// Reads page n (1-based, by position in stored order).
using PageReader = std::function<StoredPage(int n)>;

// What the book window shows: both page texts, the numbers under them and the page box's text.
struct SpreadView {
    QString leftText;
    QString rightText;
    QString label1 = QStringLiteral("1");
    QString label2;
    QString pageBox = QStringLiteral("1");
    bool operator==(const SpreadView&) const = default;
};

class Spread {
public:
    Spread() = default;
    // A work of recordCount pages; the cursor starts on the first one, nothing is read yet.
    Spread(int recordCount, PageReader reader);

    bool isOpen() const { return count_ > 0 && reader_ != nullptr; }
    int recordCount() const { return count_; }
    // The right page's number while a spread is on show (left page + 1).
    int pageCounter() const { return pageCounter_; }
    // The stored number of the last page; 0 until the bookmark step has run.
    int lastPage() const { return lastPage_; }
    // The record the cursor stands on: 0 before the first, recordCount() + 1 at the end position.
    int cursor() const { return pos_; }
    const SpreadView& view() const { return view_; }

    // Shows the spread whose left page is record n (the last one when n is beyond the work), labelled with
    // the stored numbers. False, changing nothing, when n < 1 or a page cannot be read.
    bool showAt(int n);
    // Opens the work at bookmark p: reads the last page's number into lastPage(), shows page p on the left
    // and p + 1 on the right (empty past the end, or when it repeats the left page). A bookmark outside the
    // work opens at its first or last spread. False, changing nothing, when a page cannot be read.
    bool openAtBookmark(int p);
    // Forward by one spread; false when the last spread is on show (or a page cannot be read).
    bool forward();
    // Back by one spread; false at the first spread.
    bool back();
    // After a jump: the left label follows the right one, and a right page repeating the left is emptied.
    void tidyUp();

    // The page box's number after the end-of-book rule: near the end a reader reopens four pages earlier.
    static int endOfBookRule(int leftPage, int lastPage);
    // The left page numbers 1, 3, 5, ... up to lastPage, as the page lists show them.
    static QStringList leftPageNumbers(int lastPage);
    // The list row that holds left page n, or -1.
    static int listRowOf(int leftPage, int lastPage);
    // The page font correction by screen size: +1 above the design screen, -1 below, 0 on it.
    static int fontStep(float x, float y);

private:
    std::optional<StoredPage> read(int n) const;

    int count_ = 0;
    PageReader reader_;
    int pos_ = 1;
    int pageCounter_ = 1;
    int lastPage_ = 0;
    SpreadView view_;
};

// The book window's page layout for a window of w x h twips, with the page numbers' widths.
struct BookLayout {
    TwipsRect r1, r2;
    double label1Left = 0, label1Top = 0, label2Left = 0, label2Top = 0;
};
BookLayout bookLayout(double w, double h, double label1Width, double label2Width);

// A font size in points from the carrier's text ("14", "14.25" or "14,25"); nothing for other text.
std::optional<double> pointsFromText(const QString& text);
// The page size corrected by the font step, kept to four decimals.
double steppedFontSize(double points, int fontStep);
// A whole number within the 16-bit page range, surrounding blanks allowed; nothing for other text.
std::optional<int> wholeNumber16(const QString& text);

} // namespace vel
