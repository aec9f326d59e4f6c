// Deterministic Bulgarian prose for tests and benchmarks: the same call gives the same text on every run.
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace vel::test {

inline const QStringList& bulgarianWords() {
    static const QStringList words =
        QStringLiteral("и в на не се да за от по че е с като той тя те ние той беше бяха "
                       "ще има няма още само вече когато където защото докато после "
                       "човек жена дете къща град село път гора река планина море небе "
                       "слънце вятър дъжд сняг нощ ден утро вечер година време живот "
                       "сърце душа ръка очи глас дума книга писмо врата прозорец огън "
                       "хляб вода вино маса стол земя поле нива лозе овце кон куче "
                       "баща майка брат сестра приятел старец момче момиче учител "
                       "гледаше мълчеше вървеше говореше мислеше чакаше пееше плачеше "
                       "тръгна дойде каза видя чу разбра остана погледна усмихна "
                       "тихо бавно далече близо високо дълбоко дълго късно рано "
                       "хубав стар млад бял черен зелен тъмен светъл тежък лек "
                       "щастие тъга радост страх надежда спомен мечта песен приказка "
                       "жълто щурец цвете юмрук юнак юли яйце ябълка ъгъл шепот "
                       "фенер хоро цар чаша жътва звезда йод зимата щерка")
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words;
}

// Small fixed-seed generator; std distributions differ between library versions.
class TextRandom {
public:
    explicit TextRandom(std::uint64_t seed = 0x9E3779B97F4A7C15ull) : m_state(seed) {}
    std::uint32_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<std::uint32_t>(m_state >> 16);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint64_t m_state;
};

// Prose of exactly `chars` UTF-16 units with CR LF line ends. Sentences start with a capital; paragraphs end
// with a line break; some paragraphs are dialogue lines starting with a dash. When `hardWrapped`, lines are
// broken near `lineWidth` characters the way old text files are, so most breaks fall inside a sentence.
inline QString bulgarianText(std::size_t chars, int lineWidth = 70, bool hardWrapped = true) {
    const QStringList& words = bulgarianWords();
    TextRandom rnd;
    QString text;
    text.reserve(static_cast<qsizetype>(chars) + 256);
    qsizetype lineStart = 0;

    auto breakLine = [&] {
        text += QLatin1String("\r\n");
        lineStart = text.size();
    };
    auto put = [&](const QString& word, bool capital) {
        const qsizetype lineLength = text.size() - lineStart;
        if (hardWrapped && lineLength > 0 && lineLength + 1 + word.size() > lineWidth)
            breakLine();
        else if (text.size() > lineStart && !text.endsWith(QLatin1Char(' ')))
            text += QLatin1Char(' ');
        if (capital) {
            text += word.at(0).toUpper();
            text += QStringView(word).mid(1);
        } else {
            text += word;
        }
    };

    while (static_cast<std::size_t>(text.size()) < chars) {
        if (rnd.below(5) == 0)
            text += QStringLiteral("– ");
        const int sentences = 2 + rnd.below(6);
        for (int s = 0; s < sentences; ++s) {
            const int count = 4 + rnd.below(14);
            for (int w = 0; w < count; ++w) {
                QString word = words.at(rnd.below(static_cast<int>(words.size())));
                if (w + 1 == count)
                    word += rnd.below(6) == 0 ? QLatin1Char('!') : QLatin1Char('.');
                else if (rnd.below(9) == 0)
                    word += QLatin1Char(',');
                else if (rnd.below(70) == 0)
                    word += QLatin1Char(';');
                if (rnd.below(200) == 0)
                    word += QStringLiteral(" ") + QString::number(1850 + rnd.below(150));
                put(word, w == 0);
            }
        }
        breakLine();
        if (rnd.below(8) == 0)
            breakLine();
    }
    text.truncate(static_cast<qsizetype>(chars));
    return text;
}

} // namespace vel::test
