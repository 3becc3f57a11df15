#pragma once
// The query window Form_Stats: every live visit in a list, narrowed by a set
// of criteria (the search of visit_query.h set as the list's filter), with
// the number found, four sort orders, the detail window of a visit and the
// statistics report of what the list shows. It changes no data.
//
// It works on three work areas of its own (statpvisit, statpatnt,
// statchamber) related so that moving in the visit list positions the
// visit's patient and chamber; the other windows' areas never move.
#include "app/forms.h"
#include "query/visit_query.h"

#include <memory>
#include <optional>

namespace cn {

class BrowseGrid;
class ComboBox;
class DatePicker;
class NumberBox;
class PrivateArea;
class TextBox;

class StatsForm : public Form {
    Q_OBJECT
public:
    explicit StatsForm(QWidget* owner = nullptr);
    ~StatsForm() override;

    static const QString kVisits, kPatients, kChambers;

    // Window state.
    long long NCHCODE = 0;   // the chamber chosen as a criterion, 0 none
    long long NCOUNTER = 0;  // visits found by the last search
    QString CEXPR;           // the filter text of the last search
    QString BFILTER() const { return CEXPR; }

    void SET_STATS_RELATIONS(bool on);
    void UPDATE_RECFIGS();
    void SHOWORDER(int column);
    void GET_1CHAMBER();
    void CONVERT_1HEIGHT(bool fromImperial);
    void CONVERT_1WEIGHT(bool fromPounds);
    void BTN_SEARCH();
    void BTN_RESET();
    void BTN_EXIT();

    // The criteria as the boxes hold them.
    query::Criteria criteria() const;
    int order() const { return order_; }
    // The records the list shows after a search that found some, in its
    // order; nullptr while it shows every live visit.
    const std::vector<uint32_t>* foundRecords() const;
    // Opens the three areas, relates them and lists every live visit; false
    // (the user told) when a table cannot be opened.
    bool openAreas();

protected:
    void releasing() override;

private:
    NumberBox* number(const char* name);

    std::unique_ptr<PrivateArea> visits_, patients_, chambers_;
    BrowseGrid* grid_ = nullptr;
    QWidget* listFrame_ = nullptr;
    DatePicker *from_ = nullptr, *to_ = nullptr;
    QWidget* nextVisit_ = nullptr;
    TextBox* chamber_ = nullptr;
    ComboBox *sex_ = nullptr, *visitType_ = nullptr, *status_ = nullptr;
    QList<NumberBox*> zeroed_;   // every numeric criterion, reset to 0
    QList<QWidget*> words_;      // the four word boxes
    int order_ = query::kByDateTime;
    // The last search's criteria while its result narrows the list.
    std::optional<query::Criteria> narrowed_;
    // Narrows the list to what the criteria find, in the list's order; the
    // number found.
    std::optional<size_t> narrow(const query::Criteria& c);
};

// STATS: opens the query window, or brings it forward when it is open;
// refused while the visit entry or the history window is open.
void STATS();
// PRNSTATS: the statistics report of the visits the query window lists, in
// its order, through the printer chooser and the preview.
void PRNSTATS();

} // namespace cn
