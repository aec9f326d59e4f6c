#include "core/book/Recut.h"

#include "core/storage/LibraryPaths.h"
#include "core/storage/WorkFile.h"
#include "core/storage/WorkFileBuilder.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <algorithm>

namespace vel {

QString cutSignature(const PageGeometry& g) {
    // The measured line height and character width carry the face actually found, its size and the
    // screen's dots per inch, all of which move line breaks.
    const QFontMetricsF metrics(g.font);
    const Typesetting& t = g.typesetting;
    return QStringLiteral("%1x%2 m%3 %4 %5pt h%6 w%7 %8 j%9 y%10 i%11")
        .arg(g.viewportWidth)
        .arg(g.viewportHeight)
        .arg(g.documentMargin)
        .arg(QFontInfo(g.font).family())
        .arg(g.font.pointSizeF(), 0, 'f', 3)
        .arg(metrics.height(), 0, 'f', 3)
        .arg(metrics.averageCharWidth(), 0, 'f', 3)
        .arg(layoutName(t.layout))
        .arg(int(t.justify))
        .arg(int(t.hyphenate))
        .arg(t.indent);
}

std::optional<GatheredPages> gatherPages(int count, const std::function<std::optional<QString>(int n)>& page) {
    GatheredPages g;
    g.starts.reserve(std::size_t(std::max(0, count)));
    for (int n = 1; n <= count; ++n) {
        const std::optional<QString> text = page(n);
        if (!text)
            return std::nullopt;
        g.starts.push_back(int(g.text.size()));
        g.text += *text;
    }
    return g;
}

int pageStart(const GatheredPages& gathered, int n) {
    if (gathered.starts.empty())
        return 0;
    const int i = std::clamp(n, 1, int(gathered.starts.size())) - 1;
    return gathered.starts[std::size_t(i)];
}

int pageAtPosition(const std::vector<PageSpan>& pages, int pos) {
    if (pages.empty())
        return 1;
    // The first page starting after pos; the page before it holds pos.
    const auto after = std::upper_bound(pages.begin(), pages.end(), pos,
                                        [](int p, const PageSpan& s) { return p < s.start; });
    return std::max(1, int(after - pages.begin()));
}

int leftPageAtPosition(const std::vector<PageSpan>& pages, int pos) {
    const int n = pageAtPosition(pages, pos);
    return n % 2 == 1 ? n : n - 1;
}

bool needsRecut(const QString& storedSignature, const PageGeometry& geometry) {
    // A work without the fact was cut before it was kept: for a view of unknown size.
    return storedSignature != cutSignature(geometry);
}

RecutOutcome recutWork(const QString& libraryDir, const QString& name, const PageGeometry& geometry,
                       ReadingPlace place, PageBuildProgress& progress) {
    RecutOutcome r;
    const std::optional<QString> path = workFilePath(libraryDir, name);
    std::unique_ptr<WorkFile> old = path ? WorkFile::open(*path, &r.error) : nullptr;
    if (!old)
        return r;
    const std::optional<GatheredPages> gathered =
        gatherPages(old->pageCount(), [&old](int n) -> std::optional<QString> {
            WorkFile::Page p = old->page(n);
            return p.ok ? std::optional<QString>(std::move(p.text)) : std::nullopt;
        });
    if (!gathered) {
        r.error = QStringLiteral("Файлът %1 не може да бъде прочетен.").arg(*path);
        return r;
    }
    r.position = place.position >= 0 ? std::min(place.position, int(gathered->text.size()))
                                     : pageStart(*gathered, place.leftPage);

    WorkFileBuilder builder;
    bool ok = builder.begin(libraryDir, name, WorkFileBuilder::Placement::Replace).ok();
    for (auto it = old->facts().begin(); ok && it != old->facts().end(); ++it)
        ok = builder.setFact(it->first, it->second).ok();
    ok = ok && builder.setFact(kCutFact, cutSignature(geometry));
    if (!ok) {
        r.error = builder.failure().message;
        return r;
    }
    std::vector<PageSpan> pages;
    r.outcome = buildPages(
        gathered->text, geometry, progress, [&builder](const QString& page) { return builder.appendPage(page).ok(); },
        &pages);
    if (r.outcome == PageBuildOutcome::Written && !builder.commit())
        r.outcome = PageBuildOutcome::WriteFailed;
    if (r.outcome != PageBuildOutcome::Written) {
        r.error = builder.failure().message;
        builder.abandon();
        return r;
    }
    r.leftPage = leftPageAtPosition(pages, r.position);
    return r;
}

} // namespace vel
