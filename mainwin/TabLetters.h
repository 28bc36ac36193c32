#pragma once
// The 22 letter tabs of the main window, in tab order: each tab's letter and
// the run of spaces its caption puts between the letter and the letter again.
// The final letter forms have no tab: names that begin with one are listed
// under All only.

#include <QChar>
#include <QString>

#include <array>
#include <cstddef>

namespace numora {

struct TabLetter {
    char16_t letter;
    int spaces;
};

inline constexpr std::array<TabLetter, 22> kTabLetters{{
    {u'\u05D0', 10}, {u'\u05D1', 9},  {u'\u05D2', 10}, {u'\u05D3', 9},  {u'\u05D4', 9}, {u'\u05D5', 11},
    {u'\u05D6', 10}, {u'\u05D7', 11}, {u'\u05D8', 9},  {u'\u05D9', 10}, {u'\u05DB', 9}, {u'\u05DC', 9},
    {u'\u05DE', 9},  {u'\u05E0', 10}, {u'\u05E1', 9},  {u'\u05E2', 10}, {u'\u05E4', 9}, {u'\u05E6', 9},
    {u'\u05E7', 9},  {u'\u05E8', 9},  {u'\u05E9', 8},  {u'\u05EA', 11},
}};

// The letter of a tab, as strCurrentLetter holds it.
inline QString tabLetter(std::size_t tab) { return QString(QChar(kTabLetters[tab].letter)); }

// A tab's caption: the letter, its run of spaces, the letter again.
inline QString tabCaption(std::size_t tab)
{
    const QString letter = tabLetter(tab);
    return letter + QString(kTabLetters[tab].spaces, QLatin1Char(' ')) + letter;
}

} // namespace numora
