#include "ui/BatchProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

namespace {
// A longer summary would not fit on the screen.
constexpr qsizetype kListedRefusals = 15;
} // namespace

BatchProgress::BatchProgress(QWidget* parent)
    : QFrame(parent), count_(new QLabel(this)), title_(new QLabel(this)), bar_(new QProgressBar(this)),
      cancel_(new QPushButton(QStringLiteral("Отказ"), this)) {
    setObjectName(QStringLiteral("Vnasiane"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    count_->setObjectName(QStringLiteral("VnasianeBroi"));
    title_->setObjectName(QStringLiteral("VnasianeZaglavie"));
    cancel_->setObjectName(QStringLiteral("VnasianeOtkaz"));
    title_->setTextFormat(Qt::PlainText);
    count_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(count_);
    layout->addWidget(title_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, &BatchProgress::cancelRequested);
    setProgress(0, 0, QString());
}

void BatchProgress::setProgress(int done, int total, const QString& title) {
    count_->setText(QStringLiteral("Добавяне на произведения: %1 от %2").arg(done).arg(total));
    title_->setText(title);
    bar_->setRange(0, std::max(total, 1));
    bar_->setValue(done);
}

void BatchProgress::showCancelling() {
    cancel_->setEnabled(false);
    title_->setText(QStringLiteral("Прекъсване…"));
}

QString batchSummary(const BatchTally& tally) {
    QStringList lines;
    lines << QStringLiteral("Добавени произведения: %1").arg(tally.added);
    if (!tally.refused.isEmpty()) {
        lines << QStringLiteral("Не са добавени: %1").arg(tally.refused.size());
        for (const QString& r : tally.refused.mid(0, kListedRefusals))
            lines << r;
        if (tally.refused.size() > kListedRefusals)
            lines << QStringLiteral("… и още %1").arg(tally.refused.size() - kListedRefusals);
    }
    if (tally.untried > 0)
        lines << QStringLiteral("Добавянето е прекъснато: %1 файла не са опитани; добавените остават.")
                     .arg(tally.untried);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace vel
