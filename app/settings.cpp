#include "app/settings.h"

namespace cn {

namespace {
// Integer part of the amount pictures for w = 4..10, per grouping.
const char* const kGrouping1[7] = {"9,999", "99,999", "999,999", "9,999,999",
                                   "99,999,999", "999,999,999", "9,999,999,999"};
const char* const kGrouping2[7] = {"9,999", "99,999", "9,99,999", "99,99,999",
                                   "9,99,99,999", "99,99,99,999", "999,99,99,999"};
const char* const kDecimals[3] = {"", ".99", ".999"};

int decimalsIndex(int d) { return d == 0 ? 0 : d == 2 ? 1 : d == 3 ? 2 : -1; }
} // namespace

Settings::Settings() { setNumFormat(MNUMFORMAT); }

void Settings::setNumFormat(int grouping)
{
    MNUMFORMAT = grouping;
    const auto& table = grouping == 1 ? kGrouping1 : kGrouping2;
    for (int w = 0; w < 7; ++w)
        for (int d = 0; d < 3; ++d)
            numPictures[w][d] = QString::fromLatin1(table[w]) + QString::fromLatin1(kDecimals[d]);
}

QString Settings::numPicture(int w, int d) const
{
    const int di = decimalsIndex(d);
    if (w < 4 || w > 10 || di < 0)
        return {};
    return numPictures[w - 4][di];
}

Settings& settings()
{
    static Settings instance;
    return instance;
}

void resetSettings() { settings() = Settings(); }

} // namespace cn
