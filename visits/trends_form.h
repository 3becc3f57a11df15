#pragma once
// The vitals trend chart Form_Trends, opened from the history window for
// the patient it shows: weight, blood pressure, pulse and temperature
// against the visit date, one series each, and the height where it
// changed. Read-only. The legend switches a series on and off; resting the
// pointer on a point shows its visit in a box beside it; Print puts the chart on one A4
// landscape page, with a preview when asked for. The figures are
// visits/trends.h's.
#include "app/forms.h"
#include "visits/trends.h"

#include <QPointF>

#include <vector>

class QCheckBox;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QChart;
class QChartView;
class QXYSeries;

namespace cn {

class PrintJob;

class TrendsForm : public Form {
    Q_OBJECT
public:
    explicit TrendsForm(QWidget* owner = nullptr);
    ~TrendsForm() override;

    // Shows the patient's trends (read again from the tables).
    void showPatient(long long patientCode);
    long long patientCode() const { return trends_.patientCode; }
    const visits::Trends& trends() const { return trends_; }

    QChart* chart() const;
    // Every line drawn for a measure (one per run of measured visits).
    std::vector<QXYSeries*> seriesOf(visits::Measure m) const;
    bool measureShown(visits::Measure m) const;
    // The pointer resting at `at` (chart coordinates): the visit of the
    // shown point within a few pixels of it in a box beside the point, and
    // its text (empty, the box hidden, when no point is that near).
    QString restAt(QPointF at);
    QString calloutText() const;   // the box's text while it is shown

    void PRINT_TRENDS();
    // The chart on one A4 landscape page of a job whose printer is chosen;
    // true when it was printed (or collected for the preview).
    bool printTo(PrintJob& job);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Line {
        QXYSeries* series = nullptr;
        visits::Measure measure = visits::Measure::Weight;
        const std::vector<visits::TrendSample>* samples = nullptr;
    };
    void rebuildChart();
    void toggle(visits::Measure m);

    visits::Trends trends_;
    std::vector<Line> lines_;
    QChartView* view_ = nullptr;
    QCheckBox* preview_ = nullptr;
    QGraphicsRectItem* callout_ = nullptr;
    QGraphicsSimpleTextItem* calloutText_ = nullptr;
};

// TRENDS: opens the trend chart for the patient the history window shows,
// or brings it forward, read again for that patient, when it is open.
void TRENDS();

} // namespace cn
