// Paragraph measures: twips as stored, pixels as laid out.
#include "visits/rtf/rtf.h"
#include "visits/rtf/rtf_internal.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace cn::rtf {

qreal layoutDpi()
{
    // Fonts given in points are laid out at the primary screen's logical DPI
    // when a document has no paint device; lengths use the same scale so
    // that an indent keeps its size relative to the text.
    static const qreal dpi = [] {
        if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
            return qreal(96);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            if (const QScreen* s = QGuiApplication::primaryScreen()) {
                const qreal d = s->logicalDotsPerInchY();
                if (d > 0)
                    return qreal(qRound(d));
            }
        }
        return qreal(96);
    }();
    return dpi;
}

qreal twipsToPixels(double twips)
{
    return twips * layoutDpi() / 1440.0;
}

int pixelsToTwips(qreal pixels)
{
    const double tw = std::round(pixels * 1440.0 / layoutDpi());
    return int(std::clamp(tw, -2.0e9, 2.0e9));
}

void applyIndents(QTextBlockFormat& fmt, const Indents& ind, bool bullet)
{
    fmt.setRightMargin(twipsToPixels(ind.right));
    if (!bullet) {
        fmt.setLeftMargin(twipsToPixels(ind.left));
        fmt.setTextIndent(twipsToPixels(ind.firstLine));
        fmt.clearProperty(kBulletFirstLineProperty);
        return;
    }
    // The bullet is drawn in front of the first line's text, so every line
    // starts at the same place: where the text of a hanging paragraph starts,
    // or past the bullet when the first line is not hanging. The first-line
    // offset is kept for writing the paragraph back and for placing the
    // bullet.
    fmt.setLeftMargin(twipsToPixels(firstLineStart(ind, true)));
    fmt.setTextIndent(0);
    fmt.setProperty(kBulletFirstLineProperty, ind.firstLine);
}

Indents indentsOf(const QTextBlockFormat& fmt, const QTextList* list, const QTextDocument* doc)
{
    Indents ind;
    ind.right = pixelsToTwips(fmt.rightMargin());
    if (!list) {
        ind.left = pixelsToTwips(fmt.leftMargin());
        ind.firstLine = pixelsToTwips(fmt.textIndent());
        return ind;
    }
    qreal leftPx = fmt.leftMargin();
    if (doc)
        leftPx += (list->format().indent() + fmt.indent()) * doc->indentWidth();
    const int textStart = pixelsToTwips(leftPx);
    if (fmt.hasProperty(kBulletFirstLineProperty)) {
        ind.firstLine = fmt.intProperty(kBulletFirstLineProperty);
        ind.left = ind.firstLine < 0 ? textStart : textStart - ind.firstLine - kBulletGapTwips;
    } else {
        // A list made elsewhere (pasted, for instance): hang the bullet in
        // front of the text.
        ind.left = textStart;
        ind.firstLine = -std::min(textStart, kBulletGapTwips);
    }
    return ind;
}

Indents indents(const QTextBlock& block)
{
    return indentsOf(block.blockFormat(), block.textList(), block.document());
}

int firstLineStart(const Indents& ind, bool listItem)
{
    if (!listItem)
        return ind.left + ind.firstLine;
    return ind.firstLine < 0 ? ind.left : ind.left + ind.firstLine + kBulletGapTwips;
}

int markerOffset(const Indents& ind)
{
    return firstLineStart(ind, true) - (ind.left + ind.firstLine);
}

// --- line spacing ------------------------------------------------------------

LineSpacing lineSpacing(const QTextBlockFormat& fmt)
{
    if (!fmt.hasProperty(QTextFormat::LineHeightType))
        return {};
    const qreal h = fmt.lineHeight();
    auto twips = [](double v) { return int(std::clamp(v, 1.0, 31680.0)); };
    switch (fmt.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        return {LineSpacing::Multiple, twips(std::round(h * 240.0 / 100.0))};
    case QTextBlockFormat::FixedHeight:
        return {LineSpacing::Exactly, twips(pixelsToTwips(h))};
    case QTextBlockFormat::MinimumHeight:
        return {LineSpacing::AtLeast, twips(pixelsToTwips(h))};
    default:
        return {};   // single, or a spacing RTF cannot state
    }
}

void applyLineSpacing(QTextBlockFormat& fmt, const LineSpacing& spacing)
{
    if (spacing.rule == LineSpacing::Single || spacing.value <= 0) {
        fmt.clearProperty(QTextFormat::LineHeight);
        fmt.clearProperty(QTextFormat::LineHeightType);
        return;
    }
    const int v = std::min(spacing.value, 31680);
    switch (spacing.rule) {
    case LineSpacing::Multiple:
        fmt.setLineHeight(v * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        break;
    case LineSpacing::Exactly:
        fmt.setLineHeight(twipsToPixels(v), QTextBlockFormat::FixedHeight);
        break;
    case LineSpacing::AtLeast:
        fmt.setLineHeight(twipsToPixels(v), QTextBlockFormat::MinimumHeight);
        break;
    case LineSpacing::Single:
        break;
    }
}

// --- tab stops ----------------------------------------------------------------

namespace {

constexpr int kMinDefaultTab = 36;          // 1/40 inch
constexpr int kSyntheticTabReach = 23040;   // default stops laid out up to 16 inches into a line
constexpr int kMaxSyntheticTabs = 64;

QTextOption::Tab layoutTab(int fromLineStart, QTextOption::TabType type)
{
    return QTextOption::Tab(twipsToPixels(fromLineStart), type,
                            type == QTextOption::DelimiterTab ? QChar(u'.') : QChar());
}

long long floorDiv(long long a, long long b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The tab positions the layout needs, counted from the first line's start.
QList<QTextOption::Tab> layoutTabs(const QList<TabStop>& stated, const Indents& ind, bool listItem, int defaultTab)
{
    const int start = firstLineStart(ind, listItem);
    std::vector<TabStop> stops(stated.begin(), stated.end());
    // A hanging first line: its first tab reaches the text of the lines
    // below, as in word processors (list items show their bullet apart).
    if (!listItem && ind.firstLine < 0)
        stops.push_back({ind.left, QTextOption::LeftTab});
    std::stable_sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
    QList<QTextOption::Tab> out;
    long long last = start;
    int previous = std::numeric_limits<int>::min();
    for (const TabStop& t : stops) {
        if (t.position <= start || t.position == previous)
            continue;
        previous = t.position;
        out.append(layoutTab(t.position - start, t.type));
        last = t.position;
    }
    // The layout's own default stops count from where the line starts; when
    // that is not on a default stop, lay out the ones counted from the left
    // edge.
    const long long step = usableDefaultTab(defaultTab);
    if (start % step != 0) {
        long long k = floorDiv(last, step) + 1;
        for (int n = 0; n < kMaxSyntheticTabs && k * step - start <= kSyntheticTabReach; ++n, ++k)
            out.append(layoutTab(int(k * step - start), QTextOption::LeftTab));
    }
    return out;
}

QTextOption::TabType tabType(int v)
{
    switch (v) {
    case QTextOption::RightTab: return QTextOption::RightTab;
    case QTextOption::CenterTab: return QTextOption::CenterTab;
    case QTextOption::DelimiterTab: return QTextOption::DelimiterTab;
    default: return QTextOption::LeftTab;
    }
}

} // namespace

int usableDefaultTab(int twips)
{
    return std::clamp(twips, kMinDefaultTab, 31680);
}

void storeTabStops(QTextBlockFormat& fmt, const QList<TabStop>& stops, const Indents& ind, bool listItem,
                   int defaultTab)
{
    if (stops.isEmpty()) {
        fmt.clearProperty(kTabStopsProperty);
    } else {
        QList<int> packed;
        packed.reserve(stops.size() * 2);
        for (const TabStop& t : stops)
            packed << t.position << int(t.type);
        fmt.setProperty(kTabStopsProperty, QVariant::fromValue(packed));
    }
    const QList<QTextOption::Tab> tabs = layoutTabs(stops, ind, listItem, defaultTab);
    if (tabs.isEmpty())
        fmt.clearProperty(QTextFormat::TabPositions);
    else
        fmt.setTabPositions(tabs);
}

QList<TabStop> statedTabStops(const QTextBlockFormat& fmt)
{
    QList<TabStop> stated;
    const QList<int> packed = fmt.property(kTabStopsProperty).value<QList<int>>();
    for (qsizetype i = 0; i + 1 < packed.size(); i += 2)
        stated.append({packed[i], tabType(packed[i + 1])});
    return stated;
}

QList<TabStop> tabStopsOf(const QTextBlockFormat& fmt, const Indents& ind, bool listItem, int defaultTab)
{
    const QList<TabStop> stated = statedTabStops(fmt);
    const QList<QTextOption::Tab> tabs = fmt.tabPositions();
    if (layoutTabs(stated, ind, listItem, defaultTab) == tabs)
        return stated;
    // Tab positions set by other means count from the first line's start.
    const int start = firstLineStart(ind, listItem);
    QList<TabStop> out;
    for (const QTextOption::Tab& t : tabs)
        out.append({start + pixelsToTwips(t.position), tabType(t.type)});
    return out;
}

int defaultTab(const QTextDocument& doc)
{
    return pixelsToTwips(doc.defaultTextOption().tabStopDistance());
}

QList<TabStop> tabStops(const QTextBlock& block)
{
    const QTextDocument* doc = block.document();
    if (!doc)
        return {};
    return tabStopsOf(block.blockFormat(), indents(block), block.textList() != nullptr, defaultTab(*doc));
}

namespace {
template <class F>
void forEachBlock(QTextCursor& cursor, F f)
{
    QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    QTextBlock b = doc->findBlock(cursor.selectionStart());
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    while (b.isValid()) {
        f(b);
        if (b == last)
            break;
        b = b.next();
    }
}

// Changes the block format of every paragraph the selection touches, in one
// edit; `change` gets the format, its paragraph and the default tab stop.
template <class F>
void changeBlockFormats(QTextCursor& cursor, F change)
{
    QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    const int deftab = defaultTab(*doc);
    cursor.beginEditBlock();
    forEachBlock(cursor, [&](const QTextBlock& b) {
        QTextBlockFormat f = b.blockFormat();
        change(f, b, deftab);
        QTextCursor(b).setBlockFormat(f);
    });
    cursor.endEditBlock();
}
} // namespace

void setIndents(QTextCursor& cursor, const Indents& ind)
{
    changeBlockFormats(cursor, [&](QTextBlockFormat& f, const QTextBlock& b, int deftab) {
        const bool listItem = b.textList() != nullptr;
        const QList<TabStop> stops = tabStopsOf(f, indents(b), listItem, deftab);
        applyIndents(f, ind, listItem);
        storeTabStops(f, stops, ind, listItem, deftab);
    });
}

void setTabStops(QTextCursor& cursor, const QList<TabStop>& stops)
{
    changeBlockFormats(cursor, [&](QTextBlockFormat& f, const QTextBlock& b, int deftab) {
        storeTabStops(f, stops, indents(b), b.textList() != nullptr, deftab);
    });
}

void setDefaultTab(QTextDocument* doc, int twips)
{
    if (!doc)
        return;
    const int old = defaultTab(*doc);
    QTextOption opt = doc->defaultTextOption();
    opt.setTabStopDistance(twipsToPixels(usableDefaultTab(twips)));
    doc->setDefaultTextOption(opt);
    const int now = defaultTab(*doc);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        const Indents ind = indents(b);
        const bool listItem = b.textList() != nullptr;
        const QList<TabStop> stops = tabStopsOf(f, ind, listItem, old);
        storeTabStops(f, stops, ind, listItem, now);
        if (f != b.blockFormat())
            QTextCursor(b).setBlockFormat(f);
    }
}

bool hasBullet(const QTextBlock& block)
{
    const QTextList* l = block.textList();
    return l && isBulletStyle(l->format().style());
}

void setBullet(QTextCursor& cursor, bool on)
{
    QTextDocument* doc = cursor.document();
    if (!doc)
        return;
    cursor.beginEditBlock();
    QTextList* list = nullptr;
    const int deftab = defaultTab(*doc);
    forEachBlock(cursor, [&](const QTextBlock& b) {
        const Indents ind = indents(b);
        const QList<TabStop> stops = tabStops(b);
        if (QTextList* old = b.textList())
            old->remove(b);
        QTextCursor c(b);
        QTextBlockFormat f = c.blockFormat();
        f.setIndent(0);
        applyIndents(f, ind, on);
        storeTabStops(f, stops, ind, on, deftab);
        c.setBlockFormat(f);
        if (!on)
            return;
        // Join a bullet list just before, so that neighbours form one list.
        if (!list) {
            const QTextBlock prev = b.previous();
            if (prev.isValid() && hasBullet(prev))
                list = prev.textList();
        }
        if (list) {
            list->add(c.block());
        } else {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            lf.setIndent(0);
            list = c.createList(lf);
        }
    });
    cursor.endEditBlock();
}

} // namespace cn::rtf
