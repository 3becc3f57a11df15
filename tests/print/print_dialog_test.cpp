// The print dialog F1 as the visit window opens it: the letterhead comes
// from the options record, Print asks for a printer and prints with the
// dialog's choices, a cancelled printer dialog prints nothing and says
// nothing, and a second request while it is open is ignored.
#include "app/database.h"
#include "app/options.h"
#include "fakedialogs.h"
#include "pdfprobe.h"
#include "print/print_dialog.h"
#include "support/program_test.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace cn::testing {
namespace {

class PrintDialogTest : public ProgramTest {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            GTEST_SKIP() << "pdftotext is not installed (Debian package poppler-utils)";
        ProgramTest::SetUp();
        if (HasFatalFailure())
            return;
        // A letterhead in the options record, and the settings loaded from it.
        data::WorkArea* opts = area(QStringLiteral("opts"));
        ASSERT_NE(opts, nullptr);
        ASSERT_TRUE(gotoFirstLive(*opts));
        ASSERT_TRUE(opts->rlock());
        ASSERT_TRUE(opts->setStr("DOCNAME", "Dr. Asha Rao"));
        ASSERT_TRUE(opts->setStr("DOCNMATTR", "Arial/16/T/F/0/0/255/F/F/0"));
        ASSERT_TRUE(opts->setNum("DOCNMROW", 10));
        ASSERT_TRUE(opts->setNum("DOCNMCOL", 5));
        ASSERT_TRUE(opts->setNum("TOPMARG", 40));
        ASSERT_TRUE(opts->setNum("LFTMARG", 20));
        ASSERT_TRUE(opts->setStr("DEFFONT", "Arial/12/F/F/0/0/0/F/F/0"));
        ASSERT_TRUE(opts->commit());
        opts->unlock();
        ASSERT_TRUE(SET_OPTIONS());
        visit_.TxtPatFName = QStringLiteral("Lata");
        visit_.TxtPatLName = QStringLiteral("Devi");
        visit_.Lb_PVNo = pvNoCaption(1);
        visit_.TxtVisitDt = QDate(2026, 6, 10);
        visit_.TxtPatFees = 250;
    }

    // Opens F1 through `opener` and runs `inside` while it is up.
    void withDialog(void (*opener)(const VisitPrintView&), const std::function<void(Form&)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<Form*>(findWindow(QStringLiteral("F1")));
            ASSERT_NE(f, nullptr);
            ran = true;
            inside(*f);
            if (!f->isReleased())
                f->control<QPushButton>(QStringLiteral("Button_2"))->click();
        });
        opener(visit_);
        EXPECT_TRUE(ran);
        EXPECT_FALSE(IsWindowDefined(QStringLiteral("F1")));
    }
    QString path(const char* name) const { return QDir(folder_.path()).filePath(QLatin1String(name)); }

    VisitPrintView visit_;
};

TEST_F(PrintDialogTest, PrintsWithTheDialogsChoicesAndOpensOnce)
{
    test::ScopedFakeDialogs printer;
    withDialog(PRNPRES, [&](Form& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Print"));
        EXPECT_EQ(f.size(), QSize(200, 200));
        EXPECT_TRUE(f.isModal());
        auto* letterhead = f.control<QCheckBox>(QStringLiteral("ChkLtrHd"));
        auto* preview = f.control<QCheckBox>(QStringLiteral("CK1"));
        ASSERT_TRUE(letterhead && preview);
        EXPECT_TRUE(letterhead->isChecked() && preview->isChecked());
        EXPECT_EQ(letterhead->geometry(), QRect(40, 5, 150, 28));
        EXPECT_TRUE(f.control<QPushButton>(QStringLiteral("Button_1"))->isDefault());

        // A second request, for either printout, opens nothing more.
        PRNRECPT(visit_);
        EXPECT_EQ(findWindow(QStringLiteral("F1")), &f);

        // Cancelled printer dialog: nothing printed, nothing said.
        printer->cancel = true;
        f.control<QPushButton>(QStringLiteral("Button_1"))->click();
        EXPECT_EQ(printer->printerDialogs, 1);
        EXPECT_TRUE(program_->messages().shown().empty());

        // With preview: the pages go to the preview.
        printer->cancel = false;
        printer->pdfPath = path("unused.pdf");
        f.control<QPushButton>(QStringLiteral("Button_1"))->click();
        ASSERT_EQ(printer->previews.size(), 1u);
        EXPECT_EQ(printer->previews[0]->pageCount(), 1);

        // Without preview and letterhead: straight to the file, no name.
        letterhead->setChecked(false);
        preview->setChecked(false);
        printer->pdfPath = path("plain.pdf");
        f.control<QPushButton>(QStringLiteral("Button_1"))->click();
        EXPECT_FALSE(f.isReleased()) << "the dialog stays open after printing";
    });
    EXPECT_FALSE(QFileInfo::exists(path("unused.pdf")));
    const test::PdfText plain = test::readPdfText(path("plain.pdf"));
    EXPECT_TRUE(plain.find("Lata"));
    EXPECT_FALSE(plain.find("Dr.")) << "the name is in the product tag only";

    // The receipt through the same dialog, with the letterhead.
    withDialog(PRNRECPT, [&](Form& f) {
        f.control<QCheckBox>(QStringLiteral("CK1"))->setChecked(false);
        printer->pdfPath = path("receipt.pdf");
        f.control<QPushButton>(QStringLiteral("Button_1"))->click();
    });
    const test::PdfText receipt = test::readPdfText(path("receipt.pdf"));
    const auto doctor = receipt.find("Dr.");
    ASSERT_TRUE(doctor);
    EXPECT_LT(doctor->top, 20) << "the letterhead's name at row 10, above the margin";
    EXPECT_TRUE(receipt.find("Received"));
    EXPECT_TRUE(receipt.find("Fifty"));
}

} // namespace
} // namespace cn::testing
