#pragma once
// What the statistics report prints, read from a view of the visit table as
// it stands (its order, scope and filter): the query window's list, or the
// data tool's areas filtered to a search's result.
#include "data/workspace.h"
#include "print/stats_report.h"
#include "query/visit_query.h"

namespace cn::query {

// A filter that lets through exactly the records found (by record number).
data::Condition onlyFound(const Found& found);

// NTOTFEES over the view in one pass, then one line per visit with the
// patient's names and sex read from `patients` (order 1, by code). With
// `rows` (the view's records, in its order, as a search found them) the
// view is read by going to each of them instead of walking its order. The
// view is left at its end.
StatsReport statsReportOf(data::WorkArea& visits, data::WorkArea* patients, const Settings& settings,
                          const QDate& printedOn, const std::vector<uint32_t>* rows = nullptr);

} // namespace cn::query
