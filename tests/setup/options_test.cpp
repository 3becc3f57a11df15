// The Options window as the doctor uses it: templates, fonts, saving, the
// refusals that keep what was typed, and the letterhead test print of a
// layout not yet saved.
#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/mainwindow.h"
#include "app/options.h"
#include "app/settings.h"
#include "data/catalog.h"
#include "print/pdfprobe.h"
#include "print/fakedialogs.h"
#include "setup/options_form.h"
#include "support/program_test.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace cn::testing {
namespace {

class OptionsTest : public ProgramTest {
protected:
    OptionsForm* open()
    {
        SETOPT();
        auto* f = form<OptionsForm>(QStringLiteral("Form_Options"));
        EXPECT_NE(f, nullptr);
        return f;
    }
    template <class T = QWidget>
    T* ctl(const char* name) const
    {
        auto* f = form<OptionsForm>(QStringLiteral("Form_Options"));
        T* w = f ? f->control<T>(QLatin1String(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* button) { ctl<QPushButton>(button)->click(); }
    void setText(const char* box, const QString& text) { ctl<QLineEdit>(box)->setText(text); }
    bool isOpen() const { return IsWindowDefined(QStringLiteral("Form_Options")); }

    // The options table file, byte for byte.
    QByteArray optsFile() const
    {
        QFile f(QDir(folder_.path()).filePath(QString::fromStdString(data::catalog::findTable("opts")->fileName())));
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
    }
    // A field of the stored options record, read through an area of its own.
    QString stored(const char* field) const
    {
        PrivateArea guard(db(), "test_opts");
        auto a = guard.open("opts");
        if (!a || !gotoFirstLive(*a.value()))
            return QStringLiteral("<no record>");
        data::WorkArea& w = *a.value();
        const int pos = w.fieldPos(field);
        if (pos <= 0)
            return QStringLiteral("<no field>");
        return w.fieldInfo(pos).type == 'N' ? QString::number(w.num(field)) : fieldText(w, QLatin1String(field));
    }
};

// A template fills the window; Close keeps nothing of it, and the settings
// follow the stored record after the window has gone.
TEST_F(OptionsTest, TemplateThenCloseLeavesTheStoredOptionsUnchanged)
{
    ASSERT_TRUE(open());
    const QByteArray before = optsFile();
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(ctl<ComboBox>("TxtNumberFormat")->value(), 2);
    EXPECT_EQ(ctl<QLineEdit>("TxtCurrencyText")->text(), QStringLiteral("Rupees"));

    click("Bt_Template1");
    EXPECT_EQ(ctl<NumberBox>("TxtTopMarginIn")->value(), 5);
    EXPECT_EQ(ctl<NumberBox>("TxtLeftMarginIn")->value(), 80);
    EXPECT_EQ(ctl<QLineEdit>("TxtLHd12")->text(), QStringLiteral("MBBS, MD"));
    EXPECT_TRUE(ctl<QLineEdit>("TxtLHd12")->font().bold());
    EXPECT_EQ(ctl<QLineEdit>("TxtLHd12")->font().pointSize(), 9);
    EXPECT_EQ(ctl<QSpinBox>("TxtLHd21Col")->value(), 5);
    EXPECT_EQ(ctl<QSpinBox>("TxtLHd29Row")->value(), 94);
    EXPECT_EQ(ctl<QSpinBox>("TxtLine2Col2")->value(), 80);
    EXPECT_EQ(ctl<QSpinBox>("TxtLine2Row2")->value(), 280);
    EXPECT_EQ(ctl<QPlainTextEdit>("Lb_DocNm")->font().pointSize(), 16);
    click("Bt_Template21");
    EXPECT_EQ(ctl<QSpinBox>("TxtLHd21Col")->value(), 125);
    EXPECT_EQ(ctl<QSpinBox>("TxtLine1Row1")->value(), 46);

    click("Bt_Close");
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(optsFile(), before);
    EXPECT_EQ(settings().NTOPMARGIN, 0) << "the stored record's margin, not the template's";
}

// Save writes every field from the window, fonts from the window's records;
// closing applies them: number format 1 changes every amount picture, the
// doctor's name reaches the title.
TEST_F(OptionsTest, SaveStoresTheWindowAndTheSettingsFollow)
{
    ASSERT_TRUE(open());
    // A fresh record's blank fonts show and save as the defaults.
    EXPECT_EQ(ctl<QPlainTextEdit>("Lb_DefFont")->font().pointSize(), 14);
    click("Bt_Save");
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(stored("DEFFONT"), QStringLiteral("Arial/14/T/F/0/0/0/F/F/0"));
    EXPECT_EQ(stored("LHD11ATTR"), QStringLiteral("Arial/12/F/F/0/0/0/F/F/0"));
    // The fresh record's 0 shows at the spinners' least value.
    EXPECT_EQ(stored("LHD11ROW"), QStringLiteral("1"));
    EXPECT_EQ(stored("LINE4COL2"), QStringLiteral("1"));

    ScopedDialogs fonts;
    fonts->fonts.push_back(QFont(QStringLiteral("Liberation Serif"), 18, QFont::Bold));
    fonts->colours.push_back(QColor(200, 0, 0));
    ASSERT_TRUE(open());
    ctl<ComboBox>("TxtNumberFormat")->setValue(1);
    ctl<ComboBox>("TxtDateFormat")->setValue(1);
    setText("TxtDocName", QStringLiteral("Dr. Asha Rao"));
    EXPECT_EQ(ctl<QPlainTextEdit>("Lb_DocNm")->toPlainText(), QStringLiteral("Dr. Asha Rao"));
    click("Bt_Template2");
    click("Btn_DocNmFont");
    EXPECT_EQ(ctl<QPlainTextEdit>("Lb_DocNm")->font().family(), QStringLiteral("Liberation Serif"));
    click("Bt_Save");
    EXPECT_FALSE(isOpen());

    EXPECT_EQ(stored("NUMFORM"), QStringLiteral("1"));
    EXPECT_EQ(stored("TOPMARG"), QStringLiteral("50"));
    EXPECT_EQ(stored("BOTMARG"), QStringLiteral("50"));
    EXPECT_EQ(stored("LHD12"), QStringLiteral("MBBS, MD"));
    EXPECT_EQ(stored("LHD12ATTR"), QStringLiteral("Arial/9/T/F/0/0/0/F/F/0"));
    EXPECT_EQ(stored("LHD21COL"), QStringLiteral("125"));
    EXPECT_EQ(stored("LINE1COL2"), QStringLiteral("200"));
    EXPECT_EQ(stored("DEFFONT"), QStringLiteral("Arial/12/F/F/0/0/0/F/F/0"));
    EXPECT_EQ(stored("DOCNMATTR"), QStringLiteral("Liberation Serif/18/T/F/200/0/0/F/F/0"));
    EXPECT_EQ(stored("DOCNAME"), QStringLiteral("Dr. Asha Rao"));

    Settings grouping1;
    grouping1.setNumFormat(1);
    EXPECT_EQ(settings().numPictures, grouping1.numPictures);
    EXPECT_EQ(settings().numPicture(10, 2), QStringLiteral("9,999,999,999.99"));
    EXPECT_EQ(settings().CDATEFORMAT, QStringLiteral("MM/dd/yyyy"));
    EXPECT_EQ(settings().NLINE[1].col1, 20);
    EXPECT_EQ(settings().MCOMPANY.trimmed(), QStringLiteral("Dr. Asha Rao"));
    EXPECT_EQ(program_->mainWindow()->windowTitle().trimmed(), QStringLiteral("Curanote 1.0 - Dr. Asha Rao"));

    // Saved Settings brings the stored layout back over unsaved changes.
    ASSERT_TRUE(open());
    click("Bt_Template1");
    click("Bt_UserTemplate1");
    EXPECT_EQ(ctl<NumberBox>("TxtTopMarginIn")->value(), 50);
    EXPECT_EQ(ctl<QSpinBox>("TxtLHd21Col")->value(), 125);
}

// A margin beyond its field is refused with a clear message; nothing is
// stored and the window keeps what was typed.
TEST_F(OptionsTest, MarginBeyondItsFieldIsRefused)
{
    ASSERT_TRUE(open());
    const QByteArray before = optsFile();
    ctl<NumberBox>("TxtBottomMarginIn")->setValue(150);
    click("Bt_Save");
    ASSERT_NE(program_->messages().last(), nullptr);
    EXPECT_EQ(program_->messages().last()->kind, MessageKind::Stop);
    EXPECT_EQ(program_->messages().last()->text, QStringLiteral("Bottom Margin must be from 0 to 99 mm !!"));
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(ctl<NumberBox>("TxtBottomMarginIn")->value(), 150);
    EXPECT_EQ(optsFile(), before);
}

// The record locked elsewhere and no retry: the user is told nothing was
// saved and the window stays open with every value set.
TEST_F(OptionsTest, RefusedLockKeepsTheWindowAndItsValues)
{
    ASSERT_TRUE(open());
    auto other = db().use("opts", "opts_elsewhere", data::OpenMode{true, false});
    ASSERT_TRUE(other);
    ASSERT_TRUE(gotoFirstLive(*other.value()));
    ASSERT_TRUE(other.value()->rlock());
    const QByteArray before = optsFile();

    click("Bt_Template2");
    setText("TxtCurrencyText", QStringLiteral("Dollars"));
    program_->messages().clear();
    program_->messages().answerNo();
    click("Bt_Save");
    EXPECT_EQ(program_->messages().texts(),
              QStringList({"Cannot lock. Record in use. Retry ??", "Options not saved !!"}));
    EXPECT_EQ(program_->messages().last()->kind, MessageKind::Stop);
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(ctl<QLineEdit>("TxtCurrencyText")->text(), QStringLiteral("Dollars"));
    EXPECT_EQ(ctl<QSpinBox>("TxtLHd21Col")->value(), 125);
    EXPECT_EQ(optsFile(), before);

    // Once the record is free, the same values save.
    other.value()->unlock();
    db().closeArea("opts_elsewhere");
    click("Bt_Save");
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(stored("CURRTXT"), QStringLiteral("Dollars"));
}

// The letterhead test print prints what the window shows, saved or not, and
// stores nothing.
TEST_F(OptionsTest, LetterheadTestPrintPrintsTheUnsavedLayout)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
    ASSERT_TRUE(open());
    const QByteArray before = optsFile();
    click("Bt_Template2");
    setText("TxtDocName", QStringLiteral("Dr. Asha Rao"));
    setText("TxtLHd12", QStringLiteral("MD, DNB"));
    ctl<QSpinBox>("TxtLHd12Row")->setValue(20);
    ctl<QSpinBox>("TxtLHd12Col")->setValue(30);

    test::ScopedFakeDialogs printer;
    const QString pdf = QDir(folder_.path()).filePath("letterhead.pdf");
    printer->pdfPath = pdf;
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<Form*>(findWindow(QStringLiteral("Prnt_Ltrhead")));
        ASSERT_NE(d, nullptr);
        sawDialog = true;
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Curanote 1.0 - Letterhead"));
        EXPECT_EQ(d->size(), QSize(200, 200));
        auto* preview = d->control<QCheckBox>(QStringLiteral("CK1"));
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(preview->isChecked());
        preview->setChecked(false);
        d->control<QPushButton>(QStringLiteral("Button_1"))->click();
        d->control<QPushButton>(QStringLiteral("Button_2"))->click();
    });
    click("Bt_Print");
    EXPECT_TRUE(sawDialog);
    EXPECT_FALSE(IsWindowDefined(QStringLiteral("Prnt_Ltrhead")));

    const test::PdfText t = test::readPdfText(pdf);
    ASSERT_EQ(t.pageSizes.size(), 1);
    const auto md = t.find("MD,");
    ASSERT_TRUE(md);
    EXPECT_NEAR(md->left, 30, 0.35);
    EXPECT_NEAR(md->top, 20 + 3 * 0.905 * 25.4 / 72, 0.35);   // 9 points hanging from the 12-point ascent
    const auto doctor = t.find("Dr.");
    ASSERT_TRUE(doctor);
    EXPECT_NEAR(doctor->left, 5, 0.35);
    EXPECT_TRUE(t.find("Asha"));
    EXPECT_TRUE(t.find("Demo2"));
    EXPECT_TRUE(test::rasterPage(pdf).darkNear(46, 100));
    EXPECT_EQ(optsFile(), before);
    EXPECT_TRUE(isOpen());
}

} // namespace
} // namespace cn::testing
