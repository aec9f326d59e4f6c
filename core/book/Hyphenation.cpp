#include "core/book/Hyphenation.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <hyphen.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace vel {

namespace {
constexpr qsizetype kKnownWords = 16384;
}

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
    std::bitset<0x10000> lower;
    const QStringList lines = QString::fromUtf8(raw).split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("LEFTHYPHENMIN")) ||
            lines[i].startsWith(QLatin1String("RIGHT")) || lines[i].startsWith(QLatin1String("COMPOUND")) ||
            lines[i].startsWith(QLatin1String("NOHYPHEN")))
            continue;
        for (QChar c : lines[i])
            if (c.isLetter())
                lower.set(c.toLower().unicode());
    }
    // Looked up for every letter laid out: either case answers at once.
    for (char32_t u = 0; u < 0x10000; ++u)
        if (QChar::isLetter(u) && lower.test(QChar::toLower(u)))
            h->alphabet_.set(u);
    h->leftMin_ = std::max<int>(kMinSide, h->dict_->lhmin);
    h->rightMin_ = std::max<int>(kMinSide, h->dict_->rhmin);
    return h;
}

const Hyphenator* Hyphenator::bulgarian() {
    // Read once and never changed afterwards.
    static const std::unique_ptr<Hyphenator> patterns = load(bulgarianPatternsPath());
    return patterns.get();
}

void Hyphenator::breaks(QStringView word, std::vector<int>& out, Buffers& buffers) const {
    const int n = int(word.size());
    if (n < leftMin_ + rightMin_)
        return;
    if (n >= 64)
        return patternBreaks(word, out, buffers);
    const auto known = buffers.known.constFind(QString::fromRawData(word.data(), n));
    if (known != buffers.known.cend()) {
        for (quint64 marks = *known; marks != 0; marks &= marks - 1)
            out.push_back(std::countr_zero(marks));
        return;
    }
    const std::size_t first = out.size();
    patternBreaks(word, out, buffers);
    quint64 marks = 0;
    for (std::size_t i = first; i < out.size(); ++i)
        marks |= quint64(1) << out[i];
    // A bound on what a thread keeps: the words a novel uses most fit many times over.
    if (buffers.known.size() >= kKnownWords)
        buffers.known.clear();
    buffers.known.insert(word.toString(), marks);
}

void Hyphenator::patternBreaks(QStringView word, std::vector<int>& out, Buffers& buffers) const {
    const int n = int(word.size());
    // The patterns are lower case UTF-8; every letter they know lies in the Basic Multilingual Plane.
    std::string& utf8 = buffers.word;
    utf8.clear();
    for (QChar c : word) {
        if (!covers(c))
            return;
        const char32_t u = QChar::toLower(char32_t(c.unicode()));
        if (u < 0x80) {
            utf8 += char(u);
        } else if (u < 0x800) {
            utf8 += char(0xC0 | (u >> 6));
            utf8 += char(0x80 | (u & 0x3F));
        } else {
            utf8 += char(0xE0 | (u >> 12));
            utf8 += char(0x80 | ((u >> 6) & 0x3F));
            utf8 += char(0x80 | (u & 0x3F));
        }
    }
    std::string& hyphens = buffers.marks;
    hyphens.assign(utf8.size() + 5, '\0');
    char** rep = nullptr;
    int* pos = nullptr;
    int* cut = nullptr;
    hnj_hyphen_hyphenate3(dict_.get(), utf8.data(), int(utf8.size()), hyphens.data(), nullptr, &rep, &pos,
                          &cut, char(leftMin_), char(rightMin_), char(leftMin_), char(rightMin_));
    if (rep) {
        // Breaks that change the spelling are not ours to make: they would change the stored text.
        for (std::size_t i = 0; i < utf8.size(); ++i)
            std::free(rep[i]);
        std::free(rep);
        std::free(pos);
        std::free(cut);
        return;
    }
    // One mark per character: an odd mark after character i allows a break before i + 1.
    for (int i = leftMin_ - 1; i < n - rightMin_; ++i)
        if (hyphens[std::size_t(i)] & 1)
            out.push_back(i + 1);
}

} // namespace vel
