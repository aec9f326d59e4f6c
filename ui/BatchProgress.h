#pragma once
// The progress of many books coming in at once: how many of how many, the latest title, and a cancel.

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vel {

class BatchProgress : public QFrame {
    Q_OBJECT
public:
    explicit BatchProgress(QWidget* parent = nullptr);

    void setProgress(int done, int total, const QString& title);
    // After a cancel: the books already in stay; the rest are not tried.
    void showCancelling();

    QLabel* count() const { return count_; }
    QPushButton* cancelButton() const { return cancel_; }

Q_SIGNALS:
    void cancelRequested();

private:
    QLabel* count_;
    QLabel* title_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

// The summary a batch ends with: what was added, what was not and why, what a cancel left untried.
struct BatchTally {
    int added = 0;
    QStringList refused; // "file: reason"
    int untried = 0;
};
QString batchSummary(const BatchTally& tally);

} // namespace vel
