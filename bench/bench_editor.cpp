// The prescription editor of the visit window, offscreen:
//   editor_keystroke: one keystroke (a character typed, a backspace, a
//   selection stretched with Shift+End, a caret move) in a prescription of
//   1,500 characters of mixed faces, sizes, styles, colours, bullets and
//   indents, the toolbar following the caret or selection, the editor
//   repainted; against one frame, 16 ms. Its second line is the ratio to
//   the same keystrokes in a bare rich box holding the same document, with
//   no toolbar to follow, timed in the same run.
#include "bench/bench.h"
#include "bench/window_bench.h"

#include "app/controls.h"
#include "app/forms.h"
#include "visits/pvisit_form.h"
#include "visits/rtf/rtf.h"
#include "visits/rx_format.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <string>

namespace cn::bench {

namespace {

constexpr int kChars = 1500;

// Paragraphs of runs in turn bold, italic, underlined, coloured, in two
// faces and five sizes; every third paragraph a bullet, every fourth
// indented. One character short of the limit, so that a typed one fits.
void fillMixed(QTextEdit& box)
{
    const QStringList words = {"Paracetamol", "500", "mg", "thrice", "daily", "after", "food", "for",
                               "five", "days;", "review", "if", "fever", "persists", "beyond", "three"};
    const double sizes[] = {10, 12, 14, 9, 11};
    const QColor colours[] = {Qt::black, QColor(160, 0, 0), QColor(0, 0, 160)};
    box.clear();
    QTextCursor c = box.textCursor();
    int run = 0;
    for (int para = 0; box.document()->characterCount() - 1 < kChars - 1; ++para) {
        if (para > 0)
            c.insertBlock();
        if (para % 3 == 2)
            rtf::setBullet(c, true);
        if (para % 4 == 3)
            rtf::setIndents(c, rtf::Indents{.left = 640});
        for (int w = 0; w < 8; ++w, ++run) {
            QTextCharFormat f;
            f.setFontFamilies(QStringList{run % 2 ? QStringLiteral("Liberation Serif") : QStringLiteral("Arial")});
            f.setFontPointSize(sizes[run % 5]);
            f.setFontWeight(run % 3 == 0 ? QFont::Bold : QFont::Normal);
            f.setFontItalic(run % 4 == 1);
            f.setFontUnderline(run % 5 == 2);
            f.setForeground(colours[run % 3]);
            const QString text = words[run % words.size()] + QLatin1Char(' ');
            const int room = kChars - 1 - (box.document()->characterCount() - 1);
            if (room <= 0)
                break;
            c.insertText(text.left(room), f);
        }
    }
}

// The keystrokes of one round at a random place in the text; `timed` runs
// each of them (and the repaint) in the measurement.
void keystrokes(QTextEdit& box, Rng& rng, const std::function<void(const std::function<void()>&)>& timed)
{
    QTextCursor c = box.textCursor();
    c.setPosition(rng.range(0, box.document()->characterCount() - 1));
    box.setTextCursor(c);
    const QChar typed(u'a' + int(rng.next() % 26));
    timed([&] { QTest::keyClick(&box, typed.toLatin1()); });
    timed([&] { QTest::keyClick(&box, Qt::Key_Backspace); });
    timed([&] { QTest::keyClick(&box, Qt::Key_End, Qt::ShiftModifier); });
    timed([&] { QTest::keyClick(&box, Qt::Key_Left); });
}

void runEditorKeystroke(const Context& ctx)
{
    application();
    makeFolder(ctx.folder, [] {}, {});
    PVISIT();
    auto* w = form<PVisitForm>(QStringLiteral("Form_PVisit"));
    if (!w)
        fail("PVISIT() did not open Form_PVisit");
    waitShown(w, "editor_keystroke");
    w->BT_ENTRY_PVISIT(1);
    if (!w->entryMode())
        fail("editor_keystroke: Append did not start a new visit");
    auto* pres = w->findChild<RichTextBox*>(QStringLiteral("TxtPatPres"));
    auto* bold = w->findChild<QPushButton*>(QStringLiteral("Btn_Bold"));
    fillMixed(*pres);
    if (pres->length() != kChars - 1)
        fail("editor_keystroke: the prescription holds " + std::to_string(pres->length()) + " characters");
    pres->setFocus(Qt::OtherFocusReason);

    // The baseline: a bare box of the same size and fonts with the same
    // document, in a window of its own.
    QWidget bareWindow;
    bareWindow.resize(500, 300);
    RichTextBox bare(&bareWindow);
    bare.setGeometry(10, 10, 410, 160);
    bare.setFont(pres->font());
    bare.setMaxLength(kChars);
    bare.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rtf::read(rtf::write(*pres->document()), bare.document());
    bareWindow.show();
    waitShown(&bareWindow, "editor_keystroke");

    const int rounds = ctx.quick ? 100 : 500;
    Figures f, cpu, bareF, bareCpu;
    Rng rng(15), bareRng(15);
    int boldSeen = 0;
    for (int i = 0; i < rounds; ++i) {
        keystrokes(*pres, rng, [&](const std::function<void()>& key) {
            measure(f, cpu, [&] {
                key();
                pres->repaint();
                w->findChild<QWidget*>(QStringLiteral("CmbFontSize"))->repaint();
            });
        });
        boldSeen += bold->isChecked() ? 1 : 0;
        keystrokes(bare, bareRng, [&](const std::function<void()>& key) {
            measure(bareF, bareCpu, [&] {
                key();
                bare.repaint();
            });
        });
    }
    // The toolbar did follow: a third of the runs are bold, and the
    // document kept its length (every character typed was taken back).
    if (boldSeen == 0)
        fail("editor_keystroke: the bold button never followed the caret");
    if (pres->length() != kChars - 1 || bare.length() != kChars - 1)
        fail("editor_keystroke: the keystrokes changed the prescription's length");
    print("editor_keystroke", "chars=" + std::to_string(kChars), "keystrokes", f, cpu, 16);
    std::printf("editor_keystroke_vs_bare ratio=%.2f ours_mean_ms=%.3f bare_mean_ms=%.3f\n",
                f.mean() / std::max(1e-9, bareF.mean()), f.mean(), bareF.mean());
    w->BT_CANCEL_PVISIT();
    ReleaseWindow(QStringLiteral("Form_PVisit"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    endProgram();
}

const Register r1("editor_keystroke", runEditorKeystroke);

} // namespace

} // namespace cn::bench
