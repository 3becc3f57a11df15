// query_scroll: the query window's list over a practice's career of data
// (100,000 patients and 1,000,000 visits, a twentieth with --quick),
// offscreen, showing every visit (a search that found nothing), scrolled as
// a doctor scrolls it: Page Down through a stretch, Ctrl+End and Ctrl+Home,
// the scroll bar dragged to random places, one sort by a header. Each step
// is timed up to the list (and its counters) repainted, against one frame,
// 16 ms. The same steps on a plain QTableView over a trivial in-memory model
// of as many rows, in the same run, give the ratio: what our list costs over
// Qt's own.
//   query_scroll SIZES steps=N mean_ms=.. ... budget_ms=16 within|OVER
//   query_scroll ratio=R ours_s=X qtview_s=Y
#include "bench/bench.h"
#include "bench/window_bench.h"
#include "bench/workloads.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "query/stats_form.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <tuple>

namespace cn::bench {

namespace {

constexpr double kBudgetMs = 16;
constexpr int kPageDowns = 300, kJumps = 10, kDrags = 200;
constexpr int kVisitNoColumn = 2;   // the list's third column sorts by visit number

// Qt's own list: the fifteen columns as text formatted from a vector, in
// date order, or in visit-number order after a click on that header (both
// orders made beforehand, as the indexes are).
class PlainVisits final : public QAbstractTableModel {
public:
    PlainVisits(std::vector<Visit> visits, const std::vector<std::string>& names) : v_(std::move(visits))
    {
        for (const std::string& name : names)
            names_.push_back(QString::fromStdString(name));
        byDate_.resize(v_.size());
        std::iota(byDate_.begin(), byDate_.end(), 0u);
        std::stable_sort(byDate_.begin(), byDate_.end(), [this](uint32_t a, uint32_t b) {
            return std::tie(v_[a].visitdt, v_[a].visittm) < std::tie(v_[b].visitdt, v_[b].visittm);
        });
        rows_ = &byDate_;
    }
    int rowCount(const QModelIndex& = {}) const override { return int(v_.size()); }
    int columnCount(const QModelIndex& = {}) const override { return 15; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const Visit& v = v_[(*rows_)[size_t(index.row())]];
        auto date = [](const data::Date& d) {
            return d.empty() ? QString() : QDate(d.year, d.month, d.day).toString(QStringLiteral("dd-MM-yyyy"));
        };
        const QString& name = names_[size_t(v.patcode) % names_.size()];
        switch (index.column()) {
        case 0: return date(v.visitdt);
        case 1: return QString::fromStdString(v.visittm);
        case 2: return QString::number(v.visitno);
        case 3: return QStringLiteral("Chamber %1").arg(v.chcode);
        case 4: return QString::number(v.pvno);
        case 5: return QString::number(v.patcode);
        case 6: case 7: return name;
        case 8: return QString::fromStdString(v.patsex);
        case 9: return QString::number(v.patyrs);
        case 10: return QString::number(v.patmnths);
        case 11: return QString::number(v.patdays);
        case 12: return QString::fromStdString(v.patrace);
        case 13: return date(v.nextvisit);
        default: return QString::number(v.patfees, 'f', 2);
        }
    }
    // Generated in visit-number order, so that order is the vector's own.
    void sortByVisitNo()
    {
        beginResetModel();
        byNo_.resize(v_.size());
        std::iota(byNo_.begin(), byNo_.end(), 0u);
        rows_ = &byNo_;
        endResetModel();
    }

private:
    std::vector<Visit> v_;
    std::vector<QString> names_;
    std::vector<uint32_t> byDate_, byNo_;
    const std::vector<uint32_t>* rows_ = nullptr;
};

struct List {
    QWidget* window;
    QTableView* view;
    QRect painted;                  // the list and its counters, in the window
    std::function<void()> sort;     // one click on the visit-number header
};

int currentRow(const List& l) { return l.view->currentIndex().row(); }

// The doctor's steps, each timed up to the repaint; every step is checked
// to have done what it should, so a step that does nothing is not timed as
// fast.
void scroll(const List& l, Figures& wall, Figures& cpu)
{
    auto step = [&](const char* what, const std::function<void()>& act, const std::function<bool()>& done) {
        measure(wall, cpu, [&] {
            act();
            l.window->repaint(l.painted);
        });
        if (!done())
            fail(std::string("query_scroll: ") + what + " did not move the list");
    };
    const int rows = l.view->model()->rowCount();
    l.view->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(l.view, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < kPageDowns; ++i) {
        const int before = currentRow(l);
        step("Page Down", [&] { QTest::keyClick(l.view, Qt::Key_PageDown); }, [&] { return currentRow(l) > before; });
    }
    for (int i = 0; i < kJumps; ++i) {
        step("Ctrl+End", [&] { QTest::keyClick(l.view, Qt::Key_End, Qt::ControlModifier); },
             [&] { return currentRow(l) == rows - 1; });
        step("Ctrl+Home", [&] { QTest::keyClick(l.view, Qt::Key_Home, Qt::ControlModifier); },
             [&] { return currentRow(l) == 0; });
    }
    QScrollBar* bar = l.view->verticalScrollBar();
    Rng rng(21);
    for (int i = 0; i < kDrags; ++i) {
        const int to = int(rng.next() % uint64_t(bar->maximum() + 1));
        step("a drag of the scroll bar",
             [&] {
                 bar->setSliderDown(true);
                 bar->setSliderPosition(to);
                 bar->setSliderDown(false);
             },
             [&] {
                 const int top = l.view->rowAt(0);
                 return top == to && !l.view->model()->index(top, kVisitNoColumn).data().toString().isEmpty();
             });
    }
    const QString firstNo = l.view->model()->index(0, kVisitNoColumn).data().toString();
    step("a sort by visit number", l.sort,
         [&] { return l.view->model()->index(0, kVisitNoColumn).data().toString() != firstNo || rows < 2; });
}

void clickHeader(QTableView* view, int column)
{
    QHeaderView* h = view->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
}

double total(const Figures& f) { return std::accumulate(f.ms.begin(), f.ms.end(), 0.0) / 1000; }

} // namespace

void runQueryScroll(const Context& ctx)
{
    application();
    const long n = sized(100000, ctx.quick), m = sized(1000000, ctx.quick);
    const std::vector<std::string> names = makePractice(ctx.folder, n, m);

    // Ours: a search that finds nothing (From after To) shows every visit.
    STATS();
    auto* w = form<StatsForm>(QStringLiteral("Form_Stats"));
    if (!w)
        fail("query_scroll: STATS() did not open Form_Stats");
    w->control<DatePicker>(QStringLiteral("TxtDateFrom"))->setValue(QDate(2026, 6, 11));
    w->control<DatePicker>(QStringLiteral("TxtDateTo"))->setValue(QDate(2026, 6, 10));
    w->BTN_SEARCH();
    auto* grid = w->control<BrowseGrid>(QStringLiteral("Grid_PVisits"));
    if (grid->model()->rowCount() != m)
        fail("query_scroll: the full list shows " + std::to_string(grid->model()->rowCount()) + " visits, not " +
             std::to_string(m));
    waitShown(w, "query_scroll");
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    Figures ours, oursCpu;
    scroll({w, grid, w->control<QGroupBox>(QStringLiteral("Frame_PVisits_01"))->geometry(),
            [&] { clickHeader(grid, kVisitNoColumn); }},
           ours, oursCpu);
    if (w->order() != query::kByVisitNo)
        fail("query_scroll: the header click did not sort the list by visit number");
    ReleaseWindow(QStringLiteral("Form_Stats"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    endProgram();

    // Qt's own, the same size and place in a window of the same size.
    std::vector<Visit> visits;
    visits.reserve(size_t(m));
    VisitGenerator gen(3, int(n), 0);
    for (long i = 0; i < m; ++i)
        visits.push_back(gen.next());
    PlainVisits model(std::move(visits), names);
    QWidget window;
    window.setGeometry(5, 5, 910, 595);
    QTableView view(&window);
    view.setGeometry(15, 25, 875, 190);
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.verticalHeader()->setVisible(false);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(rowHeight);
    QObject::connect(view.horizontalHeader(), &QHeaderView::sectionClicked, &view, [&](int column) {
        if (column == kVisitNoColumn)
            model.sortByVisitNo();
    });
    window.show();
    waitShown(&window, "query_scroll");
    Figures qt, qtCpu;
    scroll({&window, &view, QRect(5, 5, 895, 218), [&] { clickHeader(&view, kVisitNoColumn); }}, qt, qtCpu);

    print("query_scroll", practiceSizes(n, m), "steps", ours, oursCpu, kBudgetMs);
    const double oursS = total(ours), qtS = total(qt);
    std::printf("query_scroll ratio=%.3f ours_s=%.4f qtview_s=%.4f\n", qtS > 0 ? oursS / qtS : 0.0, oursS, qtS);
    std::fflush(stdout);
}

} // namespace cn::bench
