#pragma once
// The small print dialogs: F1 for the prescription and the receipt (with
// letterhead and preview choices), Prnt_Ltrhead for the letterhead test
// print. Print asks for a printer and prints; the dialog stays open until
// Exit. Only one of each is open at a time: a second request is ignored.
#include "app/forms.h"
#include "print/letterhead.h"
#include "print/visit_view.h"

#include <functional>

class QCheckBox;

namespace cn {

class PrintDialog : public Form {
    Q_OBJECT
public:
    enum class Printout { Prescription, Receipt };
    PrintDialog(Printout printout, VisitPrintView visit, PrintOptions options, QWidget* owner = nullptr);

    // The Print button: the prescription (PRINT) or the receipt (PRINTREC)
    // of the visit the dialog was opened for. Cancelling the printer dialog
    // prints nothing and says nothing.
    void PRINT();
    void PRINTREC();

private:
    Printout printout_;
    VisitPrintView visit_;
    PrintOptions options_;
    QCheckBox* letterhead_ = nullptr;
    QCheckBox* preview_ = nullptr;
};

// PRNPRES, PRNRECPT: read the letterhead and money texts from the options
// record and open F1 for the visit's prescription or receipt; nothing when F1
// is already open. When the options cannot be read the user is told and no
// dialog opens.
void PRNPRES(const VisitPrintView& visit);
void PRNRECPT(const VisitPrintView& visit);

class LetterheadPrintDialog : public Form {
    Q_OBJECT
public:
    // `source` gives the letterhead and the doctor's name as they stand when
    // Print is pressed.
    LetterheadPrintDialog(std::function<Letterhead()> letterhead, std::function<QString()> doctor,
                          QWidget* owner = nullptr);
    void PRINTLTRHEAD();

private:
    std::function<Letterhead()> letterhead_;
    std::function<QString()> doctor_;
    QCheckBox* preview_ = nullptr;
};

// PRNLTRHEAD: opens Prnt_Ltrhead; nothing when it is already open.
void PRNLTRHEAD(std::function<Letterhead()> letterhead, std::function<QString()> doctor);

} // namespace cn
