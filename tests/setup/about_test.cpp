// The About box: its texts come from the build's configuration, it opens
// once, and only its Ok button closes it.
#include "support/testing.h"
#include "setup/about.h"
#include "setup/about_texts.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace cn {
namespace {

QWidget* findAbout()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Form_About") && w->isVisible())
            return w;
    return nullptr;
}

TEST(About, ShowsTheConfiguredTextsOnceAndOkClosesIt)
{
    testing::app();
    testing::ScopedMessages msgs;
    ABOUT();
    QPointer<QWidget> about = findAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Curanote 1.0 - About"));
    EXPECT_EQ(about->size(), QSize(430, 380));
    EXPECT_FALSE(about->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_FALSE(about->windowFlags() & Qt::WindowSystemMenuHint);

    auto text = [&](const char* name) {
        auto* l = about->findChild<QLabel*>(QLatin1String(name));
        EXPECT_NE(l, nullptr) << name;
        return l ? l->text() : QString();
    };
    EXPECT_EQ(text("Label_1"), QStringLiteral("Curanote 1.0"));
    EXPECT_TRUE(text("Label_2").contains(QStringLiteral("Website: ") + QLatin1String(about::kWebsite)));
    EXPECT_TRUE(text("Label_3").contains(QStringLiteral("mailto:") + QLatin1String(about::kEmail)));
    EXPECT_EQ(text("Label_4"), QLatin1String(about::kWarning1) + QLatin1Char('\n') + QLatin1String(about::kWarning2));
    EXPECT_EQ(text("Label_5"), QStringLiteral("Developed & Owned By:"));
    EXPECT_EQ(text("Label_6"), QLatin1String(about::kMaker));
    EXPECT_EQ(text("Label_8"), QLatin1String(about::kAddress2));
    auto* terms = about->findChild<QTextEdit*>(QStringLiteral("TxtTerms"));
    ASSERT_NE(terms, nullptr);
    EXPECT_TRUE(terms->isReadOnly());
    EXPECT_TRUE(terms->toPlainText().startsWith(QStringLiteral("1. ")));
    EXPECT_EQ(terms->geometry(), QRect(10, 135, 400, 100));

    // A second request while it is open opens nothing more.
    ABOUT();
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += w->objectName() == QLatin1String("Form_About") && w->isVisible();
    EXPECT_EQ(count, 1);

    QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Button_Ok")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
    EXPECT_TRUE(msgs->shown().empty());
}

} // namespace
} // namespace cn
