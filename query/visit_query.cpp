#include "query/visit_query.h"

#include "app/database.h"
#include "app/text.h"
#include "data/catalog.h"
#include "data/cp1252.h"
#include "data/ntx_file.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>

namespace cn::query {

namespace {

using Word = data::FoldedSearch;

std::vector<Word> wordsOf(const QString& text)
{
    std::vector<Word> out;
    for (const QString& w : PHRASE2WORDS(text))
        out.emplace_back(toCp1252(w));
    return out;
}

bool allIn(const std::vector<Word>& words, std::string_view text)
{
    return std::all_of(words.begin(), words.end(), [&](const Word& w) { return w.in(text); });
}

// A From / To pair of one numeric field: each end only when it is not 0.
struct Range {
    double from = 0, to = 0;
    bool holds(double v) const { return (from == 0 || v >= from) && (to == 0 || v <= to); }
    bool isSet() const { return from != 0 || to != 0; }
};

int ageKey(int y, int m, int d) { return (y * 100 + m) * 100 + d; }   // months < 100, days < 100
int ageKey(const Age& a) { return ageKey(a.years, a.months, a.days); }

std::string dateKey(const QDate& d) { return toDate(d).dtos(); }

QString fmt(double v) { return QString::number(v, 'f', v == static_cast<double>(static_cast<long long>(v)) ? 0 : 2); }

} // namespace

QStringList PHRASE2WORDS(const QString& text)
{
    QStringList words;
    QString word;
    for (QChar ch : text) {
        if (ch == QLatin1Char(' ')) {
            if (!word.trimmed().isEmpty())
                words << word.trimmed();
            word.clear();
        } else {
            word += ch;
        }
    }
    if (!word.trimmed().isEmpty())
        words << word.trimmed();
    return words;
}

struct Matcher::Impl {
    bool byNext = false;
    std::string from, to;
    long long chamber = 0, patient = 0;
    std::string sex;                       // "F", "M" or empty for all
    int ageFrom = 0, ageTo = 0;            // 0: not set
    int visitType = 0, status = 0;         // 0: all
    Range pulse, temp, sys, dias, pounds, fees;
    int heightFrom = 0, heightTo = 0;      // whole inches, 0: not set
    std::vector<Word> race, pres, notes, narration;
};

Matcher::Matcher(const Criteria& c) : d_(std::make_unique<Impl>())
{
    Impl& m = *d_;
    m.byNext = c.byNextVisit;
    m.from = dateKey(c.from);
    m.to = dateKey(c.to);
    m.chamber = c.chamberCode;
    m.patient = c.patientCode;
    m.sex = c.sex == 2 ? "F" : c.sex == 3 ? "M" : "";
    m.ageFrom = c.ageFrom.isSet() ? ageKey(c.ageFrom) : 0;
    m.ageTo = c.ageTo.isSet() ? ageKey(c.ageTo) : 0;
    m.visitType = c.visitType > 1 ? c.visitType - 1 : 0;
    m.status = c.status > 1 ? c.status - 1 : 0;
    m.pulse = {c.pulseFrom, c.pulseTo};
    m.temp = {c.tempFrom, c.tempTo};
    m.sys = {c.sysFrom, c.sysTo};
    m.dias = {c.diasFrom, c.diasTo};
    m.pounds = {c.poundsFrom, c.poundsTo};
    m.fees = {c.feesFrom, c.feesTo};
    m.heightFrom = c.feetFrom * 12 + c.inchesFrom;
    m.heightTo = c.feetTo * 12 + c.inchesTo;
    m.race = wordsOf(c.raceWords);
    m.pres = wordsOf(c.presWords);
    m.notes = wordsOf(c.notesWords);
    m.narration = wordsOf(c.narrationWords);
}

Matcher::~Matcher() = default;
Matcher::Matcher(Matcher&&) noexcept = default;

bool Matcher::needsPatient() const { return !d_->sex.empty() || !d_->race.empty(); }

bool Matcher::inDateRange(const data::WorkArea& v) const
{
    const std::string d = v.raw(d_->byNext ? "NEXTVISIT" : "VISITDT");
    if (d_->byNext && d.find_first_not_of(' ') == std::string::npos)
        return false;
    return d >= d_->from && d <= d_->to;
}

bool Matcher::matches(const data::WorkArea& v, const data::WorkArea* p) const
{
    const Impl& m = *d_;
    if (!inDateRange(v))
        return false;
    if (m.chamber != 0 && v.num("CHCODE") != double(m.chamber))
        return false;
    if (m.patient != 0 && v.num("PATCODE") != double(m.patient))
        return false;
    const bool patientThere = p && !p->eof();
    if (!m.sex.empty() && !(patientThere && p->str("PATSEX") == m.sex))
        return false;
    if (m.ageFrom != 0 || m.ageTo != 0) {
        const int age = ageKey(int(v.num("PATYRS")), int(v.num("PATMNTHS")), int(v.num("PATDAYS")));
        if ((m.ageFrom != 0 && age < m.ageFrom) || (m.ageTo != 0 && age > m.ageTo))
            return false;
    }
    if (m.visitType != 0 && v.num("VISITTYPE") != m.visitType)
        return false;
    if (m.pulse.isSet() && !m.pulse.holds(v.num("PATPULSE")))
        return false;
    if (m.temp.isSet() && !m.temp.holds(v.num("PATTEMP")))
        return false;
    if (m.sys.isSet() && !m.sys.holds(v.num("PATSYS")))
        return false;
    if (m.dias.isSet() && !m.dias.holds(v.num("PATDIAS")))
        return false;
    if (m.heightFrom != 0 || m.heightTo != 0) {
        const int h = int(v.num("PATHTFT")) * 12 + int(v.num("PATHTIN"));
        if ((m.heightFrom != 0 && h < m.heightFrom) || (m.heightTo != 0 && h > m.heightTo))
            return false;
    }
    if (m.pounds.isSet() && !m.pounds.holds(v.num("PATWTLBS")))
        return false;
    if (m.fees.isSet() && !m.fees.holds(v.num("PATFEES")))
        return false;
    if (!m.race.empty() && !(patientThere && allIn(m.race, p->str("PATRACE"))))
        return false;
    if (m.status != 0 && v.num("PVSTATUS") != m.status)
        return false;
    if (!m.narration.empty() && !allIn(m.narration, v.str("PATNOTE")))
        return false;
    if (!m.pres.empty() && !allIn(m.pres, v.memo("PATPRES")))
        return false;
    if (!m.notes.empty() && !allIn(m.notes, v.memo("PATNOTE1")))
        return false;
    return true;
}

QString filterText(const Criteria& c)
{
    QStringList parts;
    const QString date = c.byNextVisit ? QStringLiteral("NEXTVISIT") : QStringLiteral("VISITDT");
    if (c.byNextVisit)
        parts << QStringLiteral("!EMPTY(NEXTVISIT)");
    parts << QStringLiteral("DTOS(%1)>='%2'").arg(date, QString::fromStdString(dateKey(c.from)))
          << QStringLiteral("DTOS(%1)<='%2'").arg(date, QString::fromStdString(dateKey(c.to)));
    auto range = [&](const QString& field, double from, double to) {
        if (from != 0)
            parts << QStringLiteral("%1>=%2").arg(field, fmt(from));
        if (to != 0)
            parts << QStringLiteral("%1<=%2").arg(field, fmt(to));
    };
    auto words = [&](const QString& field, const QString& text) {
        for (const QString& w : PHRASE2WORDS(text))
            parts << QStringLiteral("[%1] $ UPPER(%2)").arg(w.toUpper(), field);
    };
    if (c.chamberCode != 0)
        parts << QStringLiteral("CHCODE=%1").arg(c.chamberCode);
    if (c.patientCode != 0)
        parts << QStringLiteral("PATCODE=%1").arg(c.patientCode);
    if (c.sex > 1)
        parts << QStringLiteral("STATPATNT->PATSEX=='%1'").arg(c.sex == 2 ? 'F' : 'M');
    const QString age = QStringLiteral("STR(PATYRS,3)+STR(PATMNTHS,2)+STR(PATDAYS,2)");
    auto ageText = [](const Age& a) { return QStringLiteral("%1%2%3").arg(a.years, 3).arg(a.months, 2).arg(a.days, 2); };
    if (c.ageFrom.isSet())
        parts << QStringLiteral("%1>='%2'").arg(age, ageText(c.ageFrom));
    if (c.ageTo.isSet())
        parts << QStringLiteral("%1<='%2'").arg(age, ageText(c.ageTo));
    if (c.visitType > 1)
        parts << QStringLiteral("VISITTYPE=%1").arg(c.visitType - 1);
    range(QStringLiteral("PATPULSE"), c.pulseFrom, c.pulseTo);
    range(QStringLiteral("PATTEMP"), c.tempFrom, c.tempTo);
    range(QStringLiteral("PATSYS"), c.sysFrom, c.sysTo);
    range(QStringLiteral("PATDIAS"), c.diasFrom, c.diasTo);
    range(QStringLiteral("PATHTFT*12+PATHTIN"), c.feetFrom * 12 + c.inchesFrom, c.feetTo * 12 + c.inchesTo);
    range(QStringLiteral("PATWTLBS"), c.poundsFrom, c.poundsTo);
    range(QStringLiteral("PATFEES"), c.feesFrom, c.feesTo);
    words(QStringLiteral("STATPATNT->PATRACE"), c.raceWords);
    words(QStringLiteral("PATPRES"), c.presWords);
    words(QStringLiteral("PATNOTE1"), c.notesWords);
    if (c.status > 1)
        parts << QStringLiteral("PVSTATUS=%1").arg(c.status - 1);
    words(QStringLiteral("PATNOTE"), c.narrationWords);
    return parts.join(QStringLiteral(" .AND. "));
}

data::Result<Found> search(data::Workspace& ws, const Criteria& c, int order)
{
    Found found;
    if (!c.from.isValid() || !c.to.isValid() || c.from > c.to)
        return found;
    const Matcher matcher(c);
    PrivateArea visits(ws, "query_pvisit");
    auto opened = visits.open("pvisit");
    if (!opened)
        return opened.status();
    data::WorkArea& v = *opened.value();
    PrivateArea patients(ws, "query_patnt");
    data::WorkArea* p = nullptr;
    if (matcher.needsPatient()) {
        auto pOpened = patients.open("patnt", {"patnt1"});
        if (!pOpened)
            return pOpened.status();
        p = pOpened.value();
    }

    // The date part through its index, walked once under one read lock:
    // only the visits of the range are read, in record order, which keeps
    // the reads of neighbouring records together.
    const data::catalog::IndexDef* dateIndex = data::catalog::findIndex(c.byNextVisit ? "pvisit5" : "pvisit3");
    auto ix = data::NtxFile::open(ws.resolve(dateIndex->fileName()), false);
    if (!ix)
        return ix.status();
    ix.value()->setShared(true);
    const std::string low = "F" + dateKey(c.from), high = "F" + dateKey(c.to);
    std::vector<uint32_t> inRange;
    if (data::Status s = ix.value()->walk(low, [&](std::string_view key, uint32_t rec) {
            if (key.substr(0, high.size()) > high)
                return false;
            inRange.push_back(rec);
            return true;
        });
        !s)
        return s;
    std::sort(inRange.begin(), inRange.end());

    struct Hit {
        std::string key;
        uint32_t rec;
    };
    std::vector<Hit> hits;
    for (uint32_t rec : inRange) {
        v.goTo(rec);
        // An entry may be older than its record (another program's change
        // between the walk and the read): the record itself decides.
        if (v.eof() || v.deleted())
            continue;
        if (p)
            p->seek("F" + data::strNum(v.num("PATCODE"), 10));
        if (!matcher.matches(v, p))
            continue;
        found.totalFees += v.num("PATFEES");
        std::string key;
        switch (order) {
        case kByVisitNo: key = data::strNum(v.num("VISITNO"), 10); break;
        case kByPatientPvNo: key = data::strNum(v.num("PATCODE"), 10) + data::strNum(v.num("PVNO"), 10); break;
        case kByNextVisit: key = v.raw("NEXTVISIT"); break;
        default: key = v.raw("VISITDT") + v.raw("VISITTM"); break;
        }
        hits.push_back({std::move(key), rec});
    }
    if (!v.lastError().empty())
        return data::Status::error(v.lastError());
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
            return std::tie(a.key, a.rec) < std::tie(b.key, b.rec);
        });
    found.records.reserve(hits.size());
    for (const Hit& h : hits)
        found.records.push_back(h.rec);
    return found;
}

} // namespace cn::query
