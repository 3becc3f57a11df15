// The prescription editor as the doctor uses it: the toolbar's character and
// paragraph formats, the toolbar following the selection, the clipboard, the
// dictionary phrases, the font lists, and what is stored and printed.
#include "visit_fixture.h"

#include "app/settings.h"
#include "masters/dbfmenu.h"
#include "print/pdfprobe.h"
#include "print/printjob.h"
#include "print/printouts.h"
#include "visits/rtf/rtf.h"
#include "visits/rx_editor.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace cn::testing {
namespace {

class RxEditorTest : public VisitWindowTest {
protected:
    void SetUp() override
    {
        VisitWindowTest::SetUp();
        addPatient(2, "Joan", "Ark");
        addVisit({.visitNo = 1, .pvNo = 1, .patientCode = 2, .prescription = "Rest"});
        QGuiApplication::clipboard()->clear();
    }

    // The visit window with Joan's visit in modify mode and the prescription
    // emptied, the caret in it.
    PVisitForm* modifyEmpty()
    {
        PVisitForm* f = open();
        click("Modify_PVisit");
        EXPECT_TRUE(f->entryMode());
        pres()->clear();
        pres()->setFocus(Qt::OtherFocusReason);
        return f;
    }
    RichTextBox* pres() const { return ctl<RichTextBox>("TxtPatPres"); }
    RichTextBox* notes() const { return ctl<RichTextBox>("TxtPatNote1"); }
    QPushButton* button(const char* name) const { return ctl<QPushButton>(name); }
    QTextDocument* doc() const { return pres()->document(); }
    void select(int from, int to)
    {
        QTextCursor c = pres()->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        pres()->setTextCursor(c);
    }
    // The format of the character at i.
    QTextCharFormat at(int i) const
    {
        QTextCursor c(doc());
        c.setPosition(i + 1);
        return c.charFormat();
    }
    rx::Measures measuresOf(int block) const { return rx::measures(doc()->findBlockByNumber(block)); }
    QAction* item(const char* name) const { return window()->findChild<QAction*>(QLatin1String(name)); }
    // Chooses an entry of a font list as the user does, by its text.
    void choose(const char* list, const QString& entry)
    {
        auto* combo = ctl<QComboBox>(list);
        const int i = combo->findText(entry);
        ASSERT_GE(i, 0) << entry.toStdString();
        combo->setCurrentIndex(i);
        emit combo->activated(i);
    }
};

TEST_F(RxEditorTest, StylesApplyToTheSelectionOrToWhatIsTypedNextAndTheToolbarFollowsWithoutChangingText)
{
    modifyEmpty();
    QTest::keyClicks(pres(), QStringLiteral("abc"));
    click("Btn_Bold");
    EXPECT_TRUE(button("Btn_Bold")->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), pres()) << "the focus is back in the editor";
    QTest::keyClicks(pres(), QStringLiteral("de"));
    EXPECT_FALSE(at(2).font().bold()) << "the text before is left as it was";
    EXPECT_TRUE(at(3).font().bold());
    EXPECT_TRUE(at(4).font().bold());

    // Moving over the text sets the buttons and changes nothing.
    const QByteArray before = rtf::write(*doc());
    select(0, 2);
    EXPECT_FALSE(button("Btn_Bold")->isChecked());
    select(3, 5);
    EXPECT_TRUE(button("Btn_Bold")->isChecked());
    select(1, 4);
    EXPECT_FALSE(button("Btn_Bold")->isChecked()) << "bold only in part";
    EXPECT_EQ(rtf::write(*doc()), before);

    // Each style changes only its own attribute of the selection.
    select(0, 5);
    for (const char* name : {"Btn_Italic", "Btn_Under", "Btn_Strike"})
        click(name);
    for (int i = 0; i < 5; ++i) {
        const QFont f = at(i).font();
        EXPECT_TRUE(f.italic() && f.underline() && f.strikeOut()) << i;
        EXPECT_EQ(f.bold(), i >= 3) << i;
    }
    select(1, 2);
    for (const char* name : {"Btn_Italic", "Btn_Under", "Btn_Strike"})
        EXPECT_TRUE(button(name)->isChecked()) << name;
    click("Btn_Under");
    EXPECT_FALSE(at(1).font().underline());
    EXPECT_TRUE(at(0).font().underline());
    // Undo and redo of that step, the selection unmoved: the toolbar follows.
    pres()->undo();
    EXPECT_TRUE(button("Btn_Under")->isChecked());
    pres()->redo();
    EXPECT_FALSE(button("Btn_Under")->isChecked());
}

// Each list applies its own attribute only: a selection of two faces and
// two sizes keeps its faces when only the size is chosen, and its sizes
// when only the face is.
TEST_F(RxEditorTest, FontListsFollowTheSelectionAndEachAppliesOnlyItsOwnAttribute)
{
    modifyEmpty();
    auto* names = ctl<QComboBox>("CmbFontName");
    auto* sizes = ctl<QComboBox>("CmbFontSize");
    ASSERT_GE(names->count(), 2) << "the test needs two installed font families";
    const QString a = names->itemText(0), b = names->itemText(names->count() - 1);
    QTextCursor c(doc());
    QTextCharFormat fa, fb;
    fa.setFontFamilies(QStringList{a});
    fa.setFontPointSize(10);
    fb.setFontFamilies(QStringList{b});
    fb.setFontPointSize(20);
    c.insertText(QStringLiteral("aaaa"), fa);
    c.insertText(QStringLiteral("bbbb"), fb);

    select(4, 6);
    EXPECT_EQ(names->currentText(), b);
    EXPECT_EQ(sizes->currentText(), QStringLiteral("20"));
    select(0, 8);
    EXPECT_EQ(names->currentText(), b) << "mixed faces: the list keeps its choice";
    EXPECT_EQ(sizes->currentText(), QStringLiteral("20"));

    choose("CmbFontSize", QStringLiteral("14"));
    EXPECT_EQ(at(0).fontPointSize(), 14);
    EXPECT_EQ(at(7).fontPointSize(), 14);
    EXPECT_EQ(at(0).fontFamilies().toStringList(), QStringList{a}) << "the face was not the list's to change";
    EXPECT_EQ(at(7).fontFamilies().toStringList(), QStringList{b});
    EXPECT_EQ(QApplication::focusWidget(), pres());

    select(0, 8);
    c.setPosition(0);
    c.setPosition(4, QTextCursor::KeepAnchor);
    c.mergeCharFormat([] { QTextCharFormat f; f.setFontPointSize(9); return f; }());
    select(0, 8);
    choose("CmbFontName", a);
    EXPECT_EQ(at(7).fontFamilies().toStringList(), QStringList{a});
    EXPECT_EQ(at(0).fontPointSize(), 9) << "mixed sizes stay";
    EXPECT_EQ(at(7).fontPointSize(), 14);

    // With nothing selected the choice, here by the arrow key in the list,
    // is for what is typed next.
    QTextCursor end = pres()->textCursor();
    end.movePosition(QTextCursor::End);
    pres()->setTextCursor(end);
    ASSERT_EQ(sizes->currentText(), QStringLiteral("14"));
    sizes->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(sizes, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), pres());
    QTest::keyClicks(pres(), QStringLiteral("z"));
    EXPECT_EQ(at(8).fontPointSize(), 16);
    EXPECT_EQ(at(7).fontPointSize(), 14);
}

TEST_F(RxEditorTest, ColourRecoloursOnlyASelectionOfOneColour)
{
    ScopedDialogs dialogs;
    modifyEmpty();
    QTextCursor c(doc());
    QTextCharFormat red;
    red.setForeground(QColor(Qt::red));
    c.insertText(QStringLiteral("black"));
    c.insertText(QStringLiteral("red"), red);

    // Partly black and partly red: nothing changes, whatever is chosen.
    select(3, 7);
    dialogs->colours.push_back(QColor(Qt::blue));
    const QByteArray before = rtf::write(*doc());
    click("Btn_Color");
    ASSERT_EQ(dialogs->calls.size(), 1u);
    EXPECT_EQ(rtf::write(*doc()), before);

    // All red: the dialog starts on red; OK recolours, Cancel does not.
    select(5, 7);
    dialogs->colours.push_back(QColor(Qt::blue));
    click("Btn_Color");
    ASSERT_EQ(dialogs->calls.size(), 2u);
    EXPECT_EQ(dialogs->calls.back().colour, QColor(Qt::red));
    EXPECT_EQ(at(5).foreground().color(), QColor(Qt::blue));
    EXPECT_EQ(at(7).foreground().color(), QColor(Qt::red)) << "outside the selection";
    select(0, 5);
    click("Btn_Color");   // cancelled
    EXPECT_EQ(dialogs->calls.back().colour, QColor(Qt::black));
    EXPECT_FALSE(at(0).hasProperty(QTextFormat::ForegroundBrush));
    dialogs->colours.push_back(QColor(0, 128, 0));
    click("Btn_Color");
    EXPECT_EQ(at(0).foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(QApplication::focusWidget(), pres());
}

TEST_F(RxEditorTest, AlignmentBulletsAndIndentStepsInTwips)
{
    modifyEmpty();
    QTest::keyClicks(pres(), QStringLiteral("Paracetamol 500 mg"));
    EXPECT_TRUE(button("Btn_Left")->isChecked());

    // Offset Out at 0 stays at 0; Offset in twice is 1280.
    click("Btn_Offset2");
    EXPECT_EQ(measuresOf(0), (rx::Measures{0, 0, 0}));
    click("Btn_Offset1");
    click("Btn_Offset1");
    EXPECT_EQ(measuresOf(0).start, 1280);
    // Bullets on: 320 and 320, whatever the indent was; then a step in
    // keeps the offset.
    click("Btn_Numb");
    EXPECT_TRUE(rtf::hasBullet(doc()->firstBlock()));
    EXPECT_EQ(measuresOf(0), (rx::Measures{320, 320, 0}));
    click("Btn_Offset1");
    EXPECT_EQ(measuresOf(0), (rx::Measures{960, 320, 0}));
    click("Btn_Offset2");
    click("Btn_Offset2");
    EXPECT_EQ(measuresOf(0), (rx::Measures{0, 320, 0})) << "never below 0";
    click("Btn_Offset1");
    EXPECT_EQ(QApplication::focusWidget(), pres());

    // Centring a bulleted, indented paragraph with a tab stop keeps the
    // bullet and the tab stop and sets the indents to 0.
    QTextCursor c = pres()->textCursor();
    rtf::setTabStops(c, {{2880, QTextOption::LeftTab}});
    click("Btn_Center");
    EXPECT_TRUE(button("Btn_Center")->isChecked());
    EXPECT_FALSE(button("Btn_Left")->isChecked());
    EXPECT_TRUE(button("Btn_Numb")->isChecked());
    EXPECT_EQ(doc()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(rtf::hasBullet(doc()->firstBlock()));
    EXPECT_EQ(measuresOf(0), (rx::Measures{0, 0, 0}));
    EXPECT_EQ(rtf::tabStops(doc()->firstBlock()), (QList<rtf::TabStop>{{2880, QTextOption::LeftTab}}));
    pres()->undo();
    EXPECT_EQ(measuresOf(0).start, 640) << "one step for undo";
    pres()->redo();

    // Bullets off after Offset in: start indent and offset both 0; the
    // alignment stays. Two paragraphs change together.
    click("Btn_Offset1");
    QTest::keyClick(pres(), Qt::Key_End);
    QTest::keyClick(pres(), Qt::Key_Return);
    QTest::keyClicks(pres(), QStringLiteral("after food"));
    select(0, doc()->characterCount() - 1);
    EXPECT_TRUE(button("Btn_Numb")->isChecked());
    click("Btn_Numb");
    for (int b = 0; b < 2; ++b) {
        EXPECT_FALSE(rtf::hasBullet(doc()->findBlockByNumber(b))) << b;
        EXPECT_EQ(measuresOf(b), (rx::Measures{0, 0, 0})) << b;
        EXPECT_EQ(doc()->findBlockByNumber(b).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }
    EXPECT_TRUE(program_->messages().texts().isEmpty());
}

TEST_F(RxEditorTest, RefusedParagraphFormatsSayWhyAndLeaveTheParagraph)
{
    modifyEmpty();
    QTest::keyClicks(pres(), QStringLiteral("x"));
    QTextCursor c = pres()->textCursor();
    rtf::setIndents(c, rtf::Indents{.left = rx::kMaxIndentTwips});
    click("Btn_Offset1");
    ASSERT_NE(program_->messages().last(), nullptr);
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("Problem of set Offset!"));
    EXPECT_EQ(program_->messages().last()->title, QStringLiteral("Error"));
    EXPECT_EQ(program_->messages().last()->kind, MessageKind::Info);
    EXPECT_EQ(measuresOf(0).start, rx::kMaxIndentTwips);

    // The read-only editor of browse mode takes no paragraph format.
    click("Bt_Cancel");
    ASSERT_FALSE(window()->entryMode());
    EXPECT_FALSE(button("Btn_Numb")->isEnabled());
    const QByteArray before = rtf::write(*doc());
    window()->editor()->SETNUMB_CLICK();
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("Problem of set number!"));
    EXPECT_EQ(rtf::write(*doc()), before);
    EXPECT_FALSE(button("Btn_Numb")->isChecked());
}

TEST_F(RxEditorTest, ClipboardFollowsSelectionInBothStatesAndPastingKeepsFormatsUpToTheLimit)
{
    open();
    // Browse mode: the toolbar is off, but copy follows the selection; the
    // read-only editor takes no cut or paste.
    EXPECT_FALSE(button("Btn_Bold")->isEnabled());
    EXPECT_FALSE(button("Btn_Copy")->isEnabled());
    EXPECT_FALSE(item("ItC_Copy")->isEnabled());
    select(0, 4);
    EXPECT_TRUE(button("Btn_Copy")->isEnabled());
    EXPECT_TRUE(item("ItC_Copy")->isEnabled());
    EXPECT_TRUE(button("Btn_Cut")->isEnabled());
    EXPECT_FALSE(button("Btn_Paste")->isEnabled());
    click("Btn_Cut");
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Rest"));
    click("Btn_Copy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Rest"));

    // Modify: pasted formatting stays in the prescription.
    click("Modify_PVisit");
    EXPECT_TRUE(button("Btn_Paste")->isEnabled());
    EXPECT_TRUE(item("ItC_Paste")->isEnabled());
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>Amoxicillin</b> 250 mg"));
    mime->setText(QStringLiteral("Amoxicillin 250 mg"));
    QGuiApplication::clipboard()->setMimeData(mime);
    item("ItC_SelectAll")->trigger();
    EXPECT_TRUE(pres()->textCursor().hasSelection());
    click("Btn_Paste");
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Amoxicillin 250 mg"));
    EXPECT_TRUE(at(0).font().bold());
    EXPECT_FALSE(at(15).font().bold());

    // The notes' own menu acts on the notes; cut takes the text away.
    notes()->setPlainText(QStringLiteral("call back"));
    notes()->selectAll();
    item("ItC1_Cut")->trigger();
    EXPECT_TRUE(notes()->toPlainText().isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("call back"));
    item("ItC1_Paste")->trigger();
    item("ItC1_Paste")->trigger();
    EXPECT_EQ(notes()->toPlainText(), QStringLiteral("call backcall back"));
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Amoxicillin 250 mg"));

    // At most 1500 characters, pasted or typed.
    QGuiApplication::clipboard()->setText(QString(2000, QLatin1Char('x')));
    pres()->clear();
    window()->editor()->PASTE_CLICK(pres());
    EXPECT_EQ(pres()->toPlainText().size(), 1500);
    QTest::keyClicks(pres(), QStringLiteral("y"));
    EXPECT_EQ(pres()->toPlainText().size(), 1500);
}

// ---------------------------------------------------------------- dictionary

class RxDictionaryTest : public RxEditorTest {
protected:
    void SetUp() override
    {
        RxEditorTest::SetUp();
        appendRecord("dict", {{"DICTCODE", 1}}, {{"DICTNAME", "Take rest   "}});
        appendRecord("dict", {{"DICTCODE", 2}}, {{"DICTNAME", "Plenty of fluids"}});
    }
    static void whenListed(std::function<void(DBFMenuForm*)> step)
    {
        QTimer::singleShot(0, [step] {
            auto* list = form<DBFMenuForm>(QStringLiteral("Form_DBFMenu"));
            ASSERT_NE(list, nullptr);
            step(list);
        });
    }
    static void choose(DBFMenuForm* list, const QString& seek, const char* button)
    {
        auto* box = list->findChild<QLineEdit*>(QStringLiteral("TxtSeek"));
        box->clear();
        QTest::keyClicks(box, seek);
        QTest::mouseClick(list->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
};

TEST_F(RxDictionaryTest, PhraseGoesInTrimmedWithOneSpaceInPlaceOfTheSelectionAndUndoes)
{
    modifyEmpty();
    QTest::keyClicks(pres(), QStringLiteral("aXXb"));
    select(1, 3);
    whenListed([](DBFMenuForm* list) {
        EXPECT_EQ(list->windowTitle(), QStringLiteral("Dictionary"));
        choose(list, QStringLiteral("ta"), "Bt_SelectItem");
    });
    click("Bt_1PVDict");
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("aTake rest b"));
    EXPECT_EQ(pres()->textCursor().position(), 11);
    pres()->undo();
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("aXXb"));

    // Exit inserts nothing; the notes' button inserts into the notes.
    whenListed([](DBFMenuForm* list) { choose(list, QStringLiteral("pl"), "Bt_ExitMenu"); });
    click("Bt_PVDict");
    EXPECT_TRUE(notes()->toPlainText().isEmpty());
    whenListed([](DBFMenuForm* list) { choose(list, QStringLiteral("pl"), "Bt_SelectItem"); });
    click("Bt_PVDict");
    EXPECT_EQ(notes()->toPlainText(), QStringLiteral("Plenty of fluids "));
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("aXXb"));

    // A phrase that would take the notes past 1500 characters is refused
    // whole, never cut.
    notes()->setPlainText(QString(1491, QLatin1Char('n')));
    whenListed([](DBFMenuForm* list) { choose(list, QStringLiteral("ta"), "Bt_SelectItem"); });
    click("Bt_PVDict");
    EXPECT_EQ(notes()->toPlainText(), QString(1491, QLatin1Char('n')));
    EXPECT_FALSE(notes()->notice().isEmpty());

    // A choice made after the entry was given up goes nowhere.
    whenListed([this](DBFMenuForm* list) {
        click("Bt_Cancel");
        choose(list, QStringLiteral("ta"), "Bt_SelectItem");
    });
    window()->editor()->BTN_PVDICT(pres());
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Rest"));
}

// ---------------------------------------------------------------- stored and printed

TEST_F(RxEditorTest, PlainPrescriptionIsSavedAgainAsRtfAndNotesLoseTheirFormatting)
{
    open();
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Rest"));
    click("Modify_PVisit");
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>review</b> <i>in a week</i>\u2192\U0001F600"));
    mime->setText(QStringLiteral("review in a week"));
    QGuiApplication::clipboard()->setMimeData(mime);
    item("ItC1_Paste")->trigger();
    ASSERT_TRUE(notes()->document()->firstBlock().begin().fragment().charFormat().font().bold());
    // The notes are Windows-1252 text: what that cannot hold is left out
    // as it comes in, typed or pasted, and the tip says so.
    EXPECT_EQ(notes()->toPlainText(), QStringLiteral("review in a week"));
    EXPECT_TRUE(notes()->notice().contains(QStringLiteral("\u2192\U0001F600"))) << notes()->notice().toStdString();
    QKeyEvent tick(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\u2713"));
    QApplication::sendEvent(notes(), &tick);
    EXPECT_EQ(notes()->toPlainText(), QStringLiteral("review in a week"));
    EXPECT_TRUE(notes()->notice().endsWith(QStringLiteral("\u2713")));
    click("Bt_Save");
    ASSERT_EQ(program_->messages().texts(), QStringList{QStringLiteral("Modification Successful !!")});

    data::WorkArea* v = storedVisit(1);
    ASSERT_NE(v, nullptr);
    const std::string stored = v->memo("PATPRES");
    EXPECT_TRUE(rtf::hasRtfHeader(QByteArrayView(stored.data(), qsizetype(stored.size())))) << stored;
    EXPECT_EQ(v->memo("PATNOTE1"), "review in a week");

    // Shown again: the prescription's words, the notes without formatting.
    window()->RELEASE_PVISIT();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    open();
    EXPECT_EQ(pres()->toPlainText(), QStringLiteral("Rest"));
    EXPECT_EQ(notes()->toPlainText(), QStringLiteral("review in a week"));
    for (auto it = notes()->document()->firstBlock().begin(); !it.atEnd(); ++it)
        EXPECT_FALSE(it.fragment().charFormat().font().bold() || it.fragment().charFormat().font().italic());
}

// What the editor shows is what prints: bold, the sizes and the bullet of an
// edited prescription are found in the PDF.
TEST_F(RxEditorTest, EditedPrescriptionPrintsItsBoldSizesAndBullets)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
    modifyEmpty();
    choose("CmbFontSize", QStringLiteral("10"));
    QTest::keyClicks(pres(), QStringLiteral("small "));
    choose("CmbFontSize", QStringLiteral("20"));
    click("Btn_Bold");
    QTest::keyClicks(pres(), QStringLiteral("LARGE"));
    QTest::keyClick(pres(), Qt::Key_Return);
    click("Btn_Bold");
    choose("CmbFontSize", QStringLiteral("12"));
    click("Btn_Numb");
    QTest::keyClicks(pres(), QStringLiteral("bulleted"));

    const auto options = loadPrintOptions(db());
    ASSERT_TRUE(options) << options.message();
    const QString pdf = folder_.filePath(QStringLiteral("rx.pdf"));
    PrintJob job;
    ASSERT_TRUE(job.SelectPdf(pdf));
    ASSERT_TRUE(printPrescription(job, window()->printView(), options.value(), settings(), false));

    const test::PdfText text = test::readPdfText(pdf);
    const auto small = text.find(QStringLiteral("small"));
    const auto large = text.find(QStringLiteral("LARGE"));
    const auto bulleted = text.find(QStringLiteral("bulleted"));
    const auto bullet = text.find(QStringLiteral("\u2022"));
    ASSERT_TRUE(small && large && bulleted && bullet);
    const double ratio = (large->bottom - large->top) / (small->bottom - small->top);
    EXPECT_NEAR(ratio, 2.0, 0.15) << "20 pt against 10 pt";
    EXPECT_NEAR(bullet->top, bulleted->top, 1.0) << "the bullet on its paragraph's line";
    EXPECT_LT(bullet->right, bulleted->left);
    // The text starts 320 twips (5.6 mm) after the bullet's place.
    EXPECT_NEAR(bulleted->left - bullet->left, 320 * 25.4 / 1440, 1.2);
    bool boldFace = false;
    for (const QString& f : test::pdfFonts(pdf))
        boldFace = boldFace || f.contains(QStringLiteral("Bold"), Qt::CaseInsensitive);
    EXPECT_TRUE(boldFace) << test::pdfFonts(pdf).join(QLatin1Char(' ')).toStdString();
}

// ---------------------------------------------------------------- font lists

TEST(RxFontList, NamesAreCutSplitAtCommasAndSortedWithDuplicatesKept)
{
    const QString longName(200, QLatin1Char('L'));
    const QString joined = rx::RR_GETFONTS({QStringLiteral("Zeta"), QStringLiteral("Alpha,Beta"),
                                            QStringLiteral("Alpha [foundry]"), longName});
    EXPECT_EQ(rx::READ_FONT(joined), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Alpha"),
                                                  QStringLiteral("Beta"), QString(127, QLatin1Char('L')),
                                                  QStringLiteral("Zeta")}));
    EXPECT_TRUE(rx::READ_FONT(QString()).isEmpty());
}

// As built, before the toolbar first follows a text shown.
TEST_F(RxEditorTest, ListsStartOnTheSecondFaceAndTenPoints)
{
    PVisitForm f;
    auto* names = f.findChild<QComboBox*>(QStringLiteral("CmbFontName"));
    auto* sizes = f.findChild<QComboBox*>(QStringLiteral("CmbFontSize"));
    ASSERT_TRUE(names && sizes);
    QStringList listed;
    for (int i = 0; i < names->count(); ++i)
        listed << names->itemText(i);
    EXPECT_EQ(listed, rx::installedFontList());
    EXPECT_EQ(names->currentIndex(), 1);
    EXPECT_EQ(sizes->count(), 16);
    EXPECT_EQ(sizes->currentText(), QStringLiteral("10"));
}

} // namespace
} // namespace cn::testing
