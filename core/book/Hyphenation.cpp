#include "core/book/Hyphenation.h"

#include <QFile>
#include <QStandardPaths>

#include <hyphen.h>

#include <algorithm>
#include <cstdlib>

namespace vel {

void Hyphenator::Free::operator()(_HyphenDict* d) const {
    hnj_hyphen_free(d);
}

Hyphenator::~Hyphenator() = default;

QString bulgarianPatternsPath() {
    const QStringList names = {QStringLiteral("hyphen/hyph_bg_BG.dic"), QStringLiteral("hyphen/hyph_bg.dic")};
    for (const QString& name : names) {
        const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
        if (!found.isEmpty())
            return found;
    }
    for (const QString& name : names) {
        const QString path = QStringLiteral("/usr/share/") + name;
        if (QFile::exists(path))
            return path;
    }
    return {};
}

std::unique_ptr<Hyphenator> Hyphenator::load(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray raw = file.readAll();
    std::unique_ptr<Hyphenator> h(new Hyphenator);
    h->dict_.reset(hnj_hyphen_load(QFile::encodeName(path).constData()));
    if (!h->dict_ || !h->dict_->utf8)
        return nullptr;
    // The letters the patterns speak of; words with any other letter are not theirs to break.
    const QStringList lines = QString::fromUtf8(raw).split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("LEFTHYPHENMIN")) ||
            lines[i].startsWith(QLatin1String("RIGHT")) || lines[i].startsWith(QLatin1String("COMPOUND")) ||
            lines[i].startsWith(QLatin1String("NOHYPHEN")))
            continue;
        for (QChar c : lines[i])
            if (c.isLetter())
                h->alphabet_.insert(c.toLower());
    }
    h->leftMin_ = std::max<int>(kMinSide, h->dict_->lhmin);
    h->rightMin_ = std::max<int>(kMinSide, h->dict_->rhmin);
    return h;
}

const Hyphenator* Hyphenator::bulgarian() {
    // Read once and never changed afterwards.
    static const std::unique_ptr<Hyphenator> patterns = load(bulgarianPatternsPath());
    return patterns.get();
}

void Hyphenator::breaks(QStringView word, std::vector<int>& out) const {
    const int n = int(word.size());
    if (n < leftMin_ + rightMin_)
        return;
    for (QChar c : word)
        if (!covers(c))
            return;
    const QByteArray utf8 = word.toString().toLower().toUtf8();
    QByteArray hyphens(utf8.size() + 5, '\0');
    char** rep = nullptr;
    int* pos = nullptr;
    int* cut = nullptr;
    hnj_hyphen_hyphenate3(dict_.get(), utf8.constData(), int(utf8.size()), hyphens.data(), nullptr, &rep,
                          &pos, &cut, char(leftMin_), char(rightMin_), char(leftMin_), char(rightMin_));
    if (rep) {
        // Breaks that change the spelling are not ours to make: they would change the stored text.
        for (int i = 0; i < utf8.size(); ++i)
            std::free(rep[i]);
        std::free(rep);
        std::free(pos);
        std::free(cut);
        return;
    }
    // One mark per character: an odd mark after character i allows a break before i + 1.
    for (int i = leftMin_ - 1; i < n - rightMin_; ++i)
        if (hyphens[i] & 1)
            out.push_back(i + 1);
}

} // namespace vel
