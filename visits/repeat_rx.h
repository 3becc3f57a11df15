#pragma once
// Repeat the last prescription: a new visit of a patient on a steady
// treatment starts from the prescription of his or her latest visit (the
// live one with the highest PV number), formatting and all, instead of
// being typed again. Only the prescription is taken; nothing else of that
// visit.
#include "data/status.h"
#include "data/workspace.h"

#include <optional>
#include <string>

class QTextEdit;

namespace cn::visits {

// The stored prescription (RTF or plain text) of the patient's live visit
// with the highest PV number; none when the patient has no live visit or
// that visit's prescription is blank. Read through a private area, so the
// windows' areas keep their order, scope and record.
data::Result<std::optional<std::string>> lastPrescription(data::Workspace& ws, long long patientCode);

// Replaces the editor's whole text with the stored prescription as one
// step of the editor's undo (Undo brings back what was there).
void replacePrescription(QTextEdit& editor, const std::string& stored);

// The visit window's button: the patient's last prescription into the
// editor, after a Yes when the editor holds some text; tells the user when
// there is none or it cannot be read.
void REPEAT_LAST_RX(QTextEdit* editor, long long patientCode);

} // namespace cn::visits
