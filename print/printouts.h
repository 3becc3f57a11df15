#pragma once
// The printouts on the letterhead, without any window: the prescription, the
// fee receipt and the letterhead test page, drawn through a print job whose
// printer (or PDF file) has already been chosen. The print dialogs call these
// after the printer dialog, the data tool after choosing a PDF file.
//
// Every page of the prescription carries the letterhead (when asked for),
// the ruled lines, the product tag and the patient header, and then as much
// of the prescription body as fits between the header and the bottom margin;
// only pages within the job's page range are printed, the first of them with
// the same header as any other.
#include "app/settings.h"
#include "print/letterhead.h"
#include "print/visit_view.h"

#include <QString>

namespace cn {

class PrintJob;

// The age as the printouts write it: "45 Yrs", "1 Yrs 2 Months",
// "3 Months 5 Days", "12 Days".
QString ageText(int years, int months, int days);

// Each returns false when the job could not print (the printer or the file
// could not be opened); a page range that holds no page prints nothing and
// is no failure.
bool printPrescription(PrintJob& job, const VisitPrintView& visit, const PrintOptions& options,
                       const Settings& settings, bool letterhead);
bool printReceipt(PrintJob& job, const VisitPrintView& visit, const PrintOptions& options,
                  const Settings& settings, bool letterhead);
// The letterhead alone, on one page: name, eighteen lines, ruled lines.
bool printLetterheadPage(PrintJob& job, const Letterhead& letterhead, const QString& doctor);

// The text in the amount box of the receipt: the currency symbol and the fee
// in the amount picture MNUMFMT10_2 ("Rs. 1,234.50").
QString receiptFigure(double amount, const QString& currencySymbol, const Settings& settings);

} // namespace cn
