#include "core/book/PageBuild.h"

#include <algorithm>

namespace vel {

QString fittingShareLine(int fitsPercent) {
    return QStringLiteral("В една книга ще се събере около %1 % от текста.").arg(std::clamp(fitsPercent, 0, 99));
}

PageBuildOutcome buildPages(const QString& text, const PageGeometry& geometry, PageBuildProgress& progress,
                            const std::function<bool(const QString& page)>& writePage,
                            std::vector<PageSpan>* spans) {
    progress.total = int(text.size());
    const PageCut cut = cutPages(text, geometry, [&progress](int done, int total) {
        progress.laidOut = done;
        progress.total = total;
        return !progress.cancel.load();
    });
    switch (cut.status) {
    case PageCut::Status::TooManyPages:
        progress.fitsPercent = cut.fitsPercent;
        return PageBuildOutcome::TooManyPages;
    case PageCut::Status::Cancelled:
        return PageBuildOutcome::Cancelled;
    case PageCut::Status::Complete:
        break;
    }
    progress.laidOut = progress.total.load();
    if (cut.pages.empty()) {
        progress.pages = 1;
        if (!writePage(QString()))
            return PageBuildOutcome::WriteFailed;
        progress.written = 1;
        return PageBuildOutcome::Written;
    }
    progress.pages = int(cut.pages.size());
    if (spans)
        *spans = cut.pages;
    for (const PageSpan& span : cut.pages) {
        if (progress.cancel)
            return PageBuildOutcome::Cancelled;
        if (!writePage(text.mid(span.start, span.length)))
            return PageBuildOutcome::WriteFailed;
        ++progress.written;
    }
    return PageBuildOutcome::Written;
}

} // namespace vel
