#pragma once
// Where Bulgarian words may break at a line's end, from the hyphen-bg patterns through libhyphen.

#include <QSet>
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

struct _HyphenDict;

namespace vel {

class Hyphenator {
public:
    // Fewest letters kept on each side of a break.
    static constexpr int kMinSide = 2;

    // The patterns installed with the system, loaded on first use; nullptr when they cannot be found.
    // Safe to use from several threads at once.
    static const Hyphenator* bulgarian();
    // Patterns from a file in libhyphen's form; nullptr when it cannot be read.
    static std::unique_ptr<Hyphenator> load(const QString& path);
    ~Hyphenator();

    // Appends to `out` the positions inside `word` (a run of letters) before which it may break, rising.
    // A word holding a letter the patterns do not know is left whole.
    void breaks(QStringView word, std::vector<int>& out) const;
    bool covers(QChar letter) const { return alphabet_.contains(letter.toLower()); }

private:
    Hyphenator() = default;
    struct Free {
        void operator()(_HyphenDict* d) const;
    };
    std::unique_ptr<_HyphenDict, Free> dict_;
    QSet<QChar> alphabet_;
    int leftMin_ = kMinSide;
    int rightMin_ = kMinSide;
};

// Where the patterns are looked for: the system's hyphenation folders.
QString bulgarianPatternsPath();

} // namespace vel
