#pragma once
// Where Bulgarian words may break at a line's end, from the hyphen-bg patterns through libhyphen.

#include <QHash>
#include <QString>
#include <QStringView>

#include <bitset>
#include <memory>
#include <string>
#include <vector>

struct _HyphenDict;

namespace vel {

class Hyphenator {
public:
    // Fewest letters kept on each side of a break.
    static constexpr int kMinSide = 2;
    // Longer runs of letters are no words to break.
    static constexpr int kMaxWord = 64;

    // Working memory for breaks(), kept by a caller that breaks many words so that no word allocates.
    // One per thread.
    struct Buffers {
        std::string word; // lower case, UTF-8
        std::string marks;
        // Prose repeats its words: each word met, shorter than 64 letters, with its breaks as bits.
        QHash<QString, quint64> known;
    };

    // The patterns installed with the system, loaded on first use; nullptr when they cannot be found.
    // Safe to use from several threads at once.
    static const Hyphenator* bulgarian();
    // Patterns from a file in libhyphen's form; nullptr when it cannot be read.
    static std::unique_ptr<Hyphenator> load(const QString& path);
    ~Hyphenator();

    // Appends to `out` the positions inside `word` (a run of letters) before which it may break, rising.
    // A word holding a letter the patterns do not know is left whole.
    void breaks(QStringView word, std::vector<int>& out, Buffers& buffers) const;
    void breaks(QStringView word, std::vector<int>& out) const {
        Buffers buffers;
        breaks(word, out, buffers);
    }
    // Whether the patterns know `letter`, in either case.
    bool covers(QChar letter) const { return alphabet_[letter.unicode()]; }

private:
    Hyphenator() = default;
    void patternBreaks(QStringView word, std::vector<int>& out, Buffers& buffers) const;

    struct Free {
        void operator()(_HyphenDict* d) const;
    };
    std::unique_ptr<_HyphenDict, Free> dict_;
    std::bitset<0x10000> alphabet_;
    int leftMin_ = kMinSide;
    int rightMin_ = kMinSide;
};

// Where the patterns are looked for: the system's hyphenation folders.
QString bulgarianPatternsPath();

} // namespace vel
