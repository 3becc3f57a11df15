#include "visits/trends_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/routines.h"
#include "print/printdialogs.h"
#include "print/printjob.h"
#include "visits/pvhist_form.h"

#include <QBrush>
#include <QCheckBox>
#include <QLegendMarker>
#include <QPen>
#include <QEvent>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QMouseEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_Trends");
using K = ControlKind;
using visits::Measure;

const QList<ControlDecl> kButtons = {
    {"CK1", K::CheckBox, 560, 522, 90, 24, "Preview"},
    {"Bt_Print", K::Button, 660, 520, 100, 28, "&Print", "Print the chart on one A4 landscape page"},
    {"Bt_Exit", K::Button, 770, 520, 100, 28, "E&xit"},
};

// One colour per measure, the same for each of its lines.
QColor colourOf(Measure m)
{
    static const QColor colours[visits::kMeasures] = {
        QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0xff, 0x7f, 0x0e),
        QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd), QColor(0x7f, 0x7f, 0x7f)};
    return colours[static_cast<int>(m)];
}

qint64 msecsOf(const QDate& d) { return d.startOfDay().toMSecsSinceEpoch(); }

// Pixels between the pointer and a point for the point to count as rested on.
constexpr double kHoverPixels = 8;

} // namespace

TrendsForm::TrendsForm(QWidget* owner) : Form(kForm, WindowType::Child, owner)
{
    setTitle(QStringLiteral("Vitals Trend Chart"));
    setWindowIcon(ICON01());
    place(40, 60, 890, 560);
    view_ = new QChartView(new QChart, this);
    view_->setObjectName(QStringLiteral("Chart_Trends"));
    view_->setGeometry(10, 10, 870, 500);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFocusPolicy(Qt::NoFocus);   // read-only: nothing to type into
    // The pointer resting on a point shows its visit in a box beside it.
    view_->viewport()->setMouseTracking(true);
    view_->viewport()->installEventFilter(this);
    callout_ = new QGraphicsRectItem(view_->chart());
    callout_->setBrush(QColor(255, 255, 225));
    callout_->setPen(QPen(Qt::gray));
    callout_->setZValue(100);
    calloutText_ = new QGraphicsSimpleTextItem(callout_);
    callout_->hide();
    build(kButtons);
    preview_ = need<QCheckBox>(QStringLiteral("CK1"));
    QWidget* print = need(QStringLiteral("Bt_Print"));
    QWidget* exitButton = need(QStringLiteral("Bt_Exit"));
    if (!faults().isEmpty())
        return;
    preview_->setChecked(true);
    onAction(print, [this] { PRINT_TRENDS(); });
    onAction(exitButton, [this] { release(); });
    chart()->legend()->setAlignment(Qt::AlignBottom);
}

TrendsForm::~TrendsForm() = default;

QChart* TrendsForm::chart() const { return view_->chart(); }

void TrendsForm::showPatient(long long patientCode)
{
    lines_.clear();   // they point into the figures about to be replaced
    callout_->hide();
    auto loaded = visits::loadTrends(db(), patientCode);
    if (!loaded) {
        MESGSTOP(QStringLiteral("The visits could not be read !!\n") + problemText(loaded.status()));
        trends_ = visits::Trends{};
        trends_.patientCode = patientCode;
    } else {
        trends_ = std::move(loaded.value());
    }
    rebuildChart();
}

void TrendsForm::rebuildChart()
{
    QChart* c = chart();
    lines_.clear();
    callout_->hide();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes())
        c->removeAxis(a);

    QString title = visits::trendsTitle(trends_);
    if (trends_.visits == 0)
        title += QStringLiteral(": no visits");
    c->setTitle(title);

    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("d MMM yy"));
    x->setTitleText(QStringLiteral("Visit date"));
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);

    double top = 0;
    for (const visits::TrendSeries& s : trends_.series) {
        bool first = true;
        for (const std::vector<visits::TrendSample>& run : s.runs) {
            auto* line = new QLineSeries;
            line->setName(visits::measureName(s.measure));
            QPen pen(colourOf(s.measure));
            pen.setWidthF(2);
            line->setPen(pen);
            line->setPointsVisible(true);
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(run.size()));
            for (const visits::TrendSample& p : run) {
                points.append(QPointF(static_cast<double>(msecsOf(p.date)), p.value));
                top = std::max(top, p.value);
            }
            line->replace(points);
            c->addSeries(line);
            line->attachAxis(x);
            line->attachAxis(y);
            // One legend entry per measure: the first line's.
            if (QLegendMarker* m = c->legend()->markers(line).value(0)) {
                m->setVisible(first);
                if (first) {
                    const Measure measure = s.measure;
                    connect(m, &QLegendMarker::clicked, this, [this, measure] { toggle(measure); });
                }
            }
            lines_.push_back({line, s.measure, &run});
            first = false;
        }
    }

    // The dates of the visits, a day either side; the values from 0.
    QDate from = trends_.first.isValid() ? trends_.first : QDate::currentDate();
    QDate to = trends_.last.isValid() ? trends_.last : from;
    x->setRange(from.addDays(-1).startOfDay(), to.addDays(1).startOfDay());
    x->setTickCount(std::clamp<int>(static_cast<int>(from.daysTo(to)) + 3, 3, 10));
    y->setRange(0, top > 0 ? std::ceil(top * 1.1 / 10) * 10 : 100);
    y->applyNiceNumbers();
}

std::vector<QXYSeries*> TrendsForm::seriesOf(Measure m) const
{
    std::vector<QXYSeries*> out;
    for (const Line& l : lines_)
        if (l.measure == m)
            out.push_back(l.series);
    return out;
}

bool TrendsForm::measureShown(Measure m) const
{
    const std::vector<QXYSeries*> s = seriesOf(m);
    return !s.empty() && s.front()->isVisible();
}

void TrendsForm::toggle(Measure m)
{
    const std::vector<QXYSeries*> lines = seriesOf(m);
    if (lines.empty())
        return;
    const bool show = !lines.front()->isVisible();
    for (QXYSeries* s : lines)
        s->setVisible(show);
    // The legend keeps the entry, dimmed while its series is off.
    if (QLegendMarker* marker = chart()->legend()->markers(lines.front()).value(0)) {
        marker->setVisible(true);
        QColor label = marker->labelBrush().color();
        label.setAlphaF(show ? 1.0 : 0.4);
        marker->setLabelBrush(QBrush(label));
        QColor swatch = colourOf(m);
        swatch.setAlphaF(show ? 1.0 : 0.3);
        marker->setBrush(QBrush(swatch));
    }
}

bool TrendsForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == view_->viewport()) {
        if (e->type() == QEvent::MouseMove)
            (void)restAt(view_->mapToScene(static_cast<QMouseEvent*>(e)->position().toPoint()));
        else if (e->type() == QEvent::Leave)
            callout_->hide();
    }
    return Form::eventFilter(watched, e);
}

QString TrendsForm::restAt(QPointF at)
{
    QChart* c = chart();
    const Line* bestLine = nullptr;
    const visits::TrendSample* best = nullptr;
    QPointF bestPos;
    double bestDistance = kHoverPixels + 1e-9;
    for (const Line& l : lines_) {
        if (!l.series->isVisible())
            continue;
        for (const visits::TrendSample& s : *l.samples) {
            const QPointF p = c->mapToPosition(QPointF(static_cast<double>(msecsOf(s.date)), s.value), l.series);
            const double d = std::hypot(p.x() - at.x(), p.y() - at.y());
            if (d < bestDistance) {
                bestDistance = d;
                best = &s;
                bestLine = &l;
                bestPos = p;
            }
        }
    }
    if (!best) {
        callout_->hide();
        return {};
    }
    const QString text = QStringLiteral("Visit No. %1 (PV No. %2)\n%3\n%4: %5")
                             .arg(best->visitNo)
                             .arg(best->pvNo)
                             .arg(DDMONYY(best->date), visits::measureName(bestLine->measure))
                             .arg(best->value, 0, 'f', bestLine->measure == Measure::Temperature ? 1 : 0);
    calloutText_->setText(text);
    const QRectF box = calloutText_->boundingRect().adjusted(-4, -3, 4, 3);
    callout_->setRect(box);
    // Above and to the right of the point, kept inside the chart.
    QPointF place = bestPos + QPointF(10, -box.height() - 6);
    const QRectF area = c->rect();
    place.setX(std::min(place.x(), area.right() - box.width()));
    place.setY(std::max(place.y(), area.top() + 4));
    callout_->setPos(place);
    callout_->show();
    return text;
}

QString TrendsForm::calloutText() const { return callout_->isVisible() ? calloutText_->text() : QString(); }

void TrendsForm::PRINT_TRENDS()
{
    PrintJob job;
    // Landscape before the printer dialog, so that it offers that paper.
    job.SetPage(PrintJob::Landscape, QPageSize::A4);
    if (!job.SelectPrinter({}, preview_ && preview_->isChecked(), this))
        return;   // cancelled: nothing printed, nothing said
    if (!printTo(job))
        MESGSTOP(QStringLiteral("The chart could not be printed !!"));
}

bool TrendsForm::printTo(PrintJob& job)
{
    job.SetPage(PrintJob::Landscape, QPageSize::A4);
    job.SetPreviewThumbnails(false);
    job.SetPreviewGeometry(defaultPreviewGeometry());
    job.SetUnits(1);
    job.DefineFont(QStringLiteral("t"), QStringLiteral("arial"), 14, 0, 0, true);
    job.SelectFont(QStringLiteral("t"));
    bool ok = job.StartDoc(QStringLiteral("Curanote 1.0 - Trends")) && job.StartPage();
    if (ok) {
        // Title at the top; the chart fills the page below it within 10 mm
        // margins, drawn as the window shows it (series switched off stay off).
        job.Say(10, 10, visits::trendsTitle(trends_));
        const PageSurface s = job.hDC();
        ok = s.isValid();
        if (ok) {
            const QRectF target = s.toDevice(22, 10, job.MaxRow() - 10, job.MaxCol() - 10);
            s.painter->save();
            s.painter->setRenderHint(QPainter::Antialiasing);
            view_->render(s.painter, target, view_->viewport()->rect(), Qt::KeepAspectRatio);
            s.painter->restore();
        }
    }
    if (job.PageOpen())
        job.EndPage();
    ok = job.EndDoc() && ok && job.Error() == PrintJob::NoError;
    job.End();
    return ok;
}

void TRENDS()
{
    // The history's patient as its details show it (none: an empty chart).
    auto* history = form<PVHistForm>(QStringLiteral("Form_PVHist"));
    auto* code = history ? history->control<NumberBox>(QStringLiteral("TxtPatCode")) : nullptr;
    const long long patient = code ? static_cast<long long>(code->value()) : 0;
    if (auto* open = form<TrendsForm>(kForm)) {
        open->showPatient(patient);   // read again: visits may have been saved since
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    auto* w = new TrendsForm;
    w->showPatient(patient);
    w->center();
    w->activate();
}

} // namespace cn
