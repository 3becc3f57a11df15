#pragma once
// Application-wide settings: values every window and printout may read. They
// hold their initial values from start-up until the stored options are loaded
// (SET_OPTIONS), and are replaced again whenever the options change.
#include <QString>
#include <array>

namespace cn {

// A font as the options keep it (face, size, bold, italic, colour, underline,
// strike-out, character set).
struct FontRecord {
    QString face = QStringLiteral("Arial");
    int size = 12;
    bool bold = false;
    bool italic = false;
    int red = 0, green = 0, blue = 0;
    bool underline = false;
    bool strikeOut = false;
    int charSet = 0;
    bool operator==(const FontRecord&) const = default;
};

struct Settings {
    QString MCURDIR;                                   // the data folder
    QString MCOMPANY = QString(40, QLatin1Char(' '));  // the doctor's name
    QString MCURRENCYSYMBOL = QStringLiteral("Rs.");
    QString MCURRENCYTEXT = QStringLiteral("Rupees");
    QString MCURRENCY2TEXT = QStringLiteral("paisa");
    int MNUMFORMAT = 2;                                // 1 groups of three, 2 South Asian
    // Amount pictures, indexed [w - 4][d-index] with w = 4..10 and d = 0, 2, 3.
    std::array<std::array<QString, 3>, 7> numPictures{};
    int MDATEFORMAT = 2;                               // 1 month first, 2 day first
    QString CDATEFORMAT = QStringLiteral("dd-MM-yyyy");
    double NTOPMARGIN = 63.50;
    double NLEFTMARGIN = 25.40;
    double NRIGHTMARGIN = 25.40;
    double NBOTTOMMARGIN = 38.10;
    FontRecord ADEFFONT;
    QString CDEFFONT = QStringLiteral("Arial/12/F/F/0/0/0/F/F/0");
    // NLINEkROW1, NLINEkCOL1, NLINEkROW2, NLINEkCOL2 for k = 1..4 (index k-1).
    struct Rule { double row1 = 1, col1 = 1, row2 = 1, col2 = 1; };
    std::array<Rule, 4> NLINE{};

    Settings();
    // MNUMFMTw_d: the picture for w integer digits (4..10) and d decimals (0, 2, 3).
    QString numPicture(int w, int d) const;
    // Recompute every MNUMFMTw_d for a grouping (1 or 2).
    void setNumFormat(int grouping);
};

// The one instance of the running program (tests may reset it).
Settings& settings();
void resetSettings();

} // namespace cn
