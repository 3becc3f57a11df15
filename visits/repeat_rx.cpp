#include "visits/repeat_rx.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/messages.h"
#include "visits/rtf/rtf.h"
#include "visits/visit_records.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace cn::visits {

data::Result<std::optional<std::string>> lastPrescription(data::Workspace& ws, long long patientCode)
{
    PrivateArea area(ws, "rx_pvisit");
    auto opened = openPatientVisits(area, patientCode);
    if (!opened)
        return opened.status();
    data::WorkArea& v = *opened.value();
    v.goBottom();   // the patient's visits in PV order: the last is the one wanted
    if (v.eof()) {
        if (!v.lastError().empty())
            return data::Status::error(data::ErrorCode::Damaged, v.lastError());
        return std::optional<std::string>{};
    }
    auto pres = v.readMemo("PATPRES");
    if (!pres)
        return pres.status();
    // A prescription with no text (an empty document is still RTF) is no
    // prescription to repeat.
    QTextDocument doc;
    rtf::read(QByteArray::fromStdString(pres.value()), &doc);
    if (doc.toPlainText().trimmed().isEmpty())
        return std::optional<std::string>{};
    return std::optional<std::string>{std::move(pres.value())};
}

void replacePrescription(QTextEdit& editor, const std::string& stored)
{
    QTextDocument source;
    rtf::read(QByteArray::fromStdString(stored), &source);
    QTextCursor c(editor.document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    // The first paragraph takes the stored one's format too, not only its
    // characters: the fragment's first block merges into the empty one here.
    QTextCursor first(&source);
    c.setBlockFormat(first.blockFormat());
    c.setBlockCharFormat(first.blockCharFormat());
    c.insertFragment(QTextDocumentFragment(&source));
    c.endEditBlock();
    editor.setTextCursor(c);
}

void REPEAT_LAST_RX(QTextEdit* editor, long long patientCode)
{
    if (!editor)
        return;
    const auto last = lastPrescription(db(), patientCode);
    if (!last) {
        MESGSTOP(QStringLiteral("The last prescription could not be read !!\n") + problemText(last.status()));
        return;
    }
    if (!last.value()) {
        MESGINFO(QStringLiteral("No earlier prescription for this patient !!"));
        return;
    }
    // The editor's limit holds for a copied text as for a typed one (a
    // prescription written by other means may be longer): refused, not cut.
    if (auto* box = qobject_cast<RichTextBox*>(editor); box && box->maxLength() > 0) {
        QTextDocument source;
        rtf::read(QByteArray::fromStdString(*last.value()), &source);
        if (source.characterCount() - 1 > box->maxLength()) {
            MESGSTOP(QStringLiteral("The last prescription is longer than %1 characters !!").arg(box->maxLength()));
            return;
        }
    }
    if (!editor->toPlainText().trimmed().isEmpty()
        && !askYes(QStringLiteral("Replace the prescription with the last one ??")))
        return;
    replacePrescription(*editor, *last.value());
}

} // namespace cn::visits
