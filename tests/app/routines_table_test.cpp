// The table routines against real tables: the next free code, the duplicate
// tests by index prefix, and the record lock with its retry question.
#include "app/database.h"
#include "app/routines.h"
#include "support/testing.h"

#include <gtest/gtest.h>

namespace cn {
namespace {

using testing::ScopedMessages;

class TableRoutinesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::app();
        ASSERT_TRUE(folder_.isValid());
        auto& ws = db();
        ASSERT_TRUE(ws.create("CHAMBER", {{"CHCODE", 'N', 10, 0}, {"CHNAME", 'C', 40, 0}}));
        {
            auto a = ws.use("CHAMBER");
            ASSERT_TRUE(a);
            ASSERT_TRUE((*a)->createIndex("CHAMBER1", "iif(deleted(), 'T', 'F')+str(chcode)"));
            ASSERT_TRUE((*a)->createIndex("CHAMBER2", "iif(deleted(), 'T', 'F')+upper(chname)"));
            ws.closeArea("chamber");
        }
        a_ = open("chamber");
    }

    data::WorkArea* open(const char* alias)
    {
        auto a = db().use("CHAMBER", alias, {.shared = true});
        EXPECT_TRUE(a) << a.message();
        if (!a)
            return nullptr;
        EXPECT_TRUE((*a)->setIndex("CHAMBER1"));
        EXPECT_TRUE((*a)->setIndex("CHAMBER2"));
        return *a;
    }

    uint32_t add(long long code, const char* name)
    {
        EXPECT_TRUE(a_->append());
        EXPECT_TRUE(a_->setNum("CHCODE", static_cast<double>(code)));
        EXPECT_TRUE(setFieldText(*a_, QStringLiteral("CHNAME"), QString::fromUtf8(name)));
        const uint32_t rec = a_->recNo();
        a_->unlock();
        return rec;
    }

    testing::ScopedDataFolder folder_;
    data::WorkArea* a_ = nullptr;
};

TEST_F(TableRoutinesTest, NextCodeIsHighestLiveCodePlusOneAndRestoresTheArea)
{
    EXPECT_EQ(GETCODE(QStringLiteral("chamber"), 1, QStringLiteral("CHCODE")), 1);   // no live records
    add(1, "Clinic");
    add(2, "Home Visit");
    add(7, "Hospital");
    ASSERT_TRUE(a_->setOrder(2));
    const uint32_t rec = add(8, "Annexe");
    a_->goTo(2);

    EXPECT_EQ(GETCODE(QStringLiteral("Chamber"), 1, QStringLiteral("chcode")), 9);
    EXPECT_EQ(a_->recNo(), 2u);
    EXPECT_EQ(a_->indexOrd(), 2);

    a_->goTo(rec);
    ASSERT_TRUE(a_->rlock());
    ASSERT_TRUE(a_->deleteRecord());
    a_->unlock();
    // The deleted record's code is given out again.
    EXPECT_EQ(GETCODE(QStringLiteral("chamber"), 1, QStringLiteral("CHCODE")), 8);
}

TEST_F(TableRoutinesTest, DuplicateTestsSeekTheLiveKeyPrefix)
{
    add(1, "Home Visit");
    const uint32_t clinic = add(2, "Clinic");

    // A trimmed key tests a prefix: HOME finds Home Visit.
    EXPECT_FALSE(CHECK_DUPLICATE_APPEND(QStringLiteral("chamber"), 2, QStringLiteral("HOME")));
    EXPECT_EQ(a_->indexOrd(), 2);
    EXPECT_TRUE(CHECK_DUPLICATE_APPEND(QStringLiteral("chamber"), 2, QStringLiteral("HOMEOPATHY")));
    // A full-width key tests exactly.
    EXPECT_TRUE(CHECK_DUPLICATE_APPEND(QStringLiteral("chamber"), 2, QStringLiteral("HOME").leftJustified(40)));

    // Changing a record: its own name is no duplicate, another's is.
    EXPECT_TRUE(CHECK_DUPLICATE_MODIFY(QStringLiteral("chamber"), 2, QStringLiteral("CLINIC"), QStringLiteral("CHCODE"), 2));
    EXPECT_FALSE(CHECK_DUPLICATE_MODIFY(QStringLiteral("chamber"), 2, QStringLiteral("CLINIC"), QStringLiteral("CHCODE"), 1));

    // A deleted record is no longer in the way.
    a_->goTo(clinic);
    ASSERT_TRUE(a_->rlock());
    ASSERT_TRUE(a_->deleteRecord());
    a_->unlock();
    EXPECT_TRUE(CHECK_DUPLICATE_APPEND(QStringLiteral("chamber"), 2, QStringLiteral("CLINIC")));
}

TEST_F(TableRoutinesTest, BlockRecordAsksUntilLockedOrGivenUp)
{
    ScopedMessages msgs;
    const uint32_t rec = add(1, "Clinic");
    data::WorkArea* other = open("chamber01");
    ASSERT_NE(other, nullptr);
    other->goTo(rec);
    ASSERT_TRUE(other->rlock());
    a_->goTo(rec);

    // Locked elsewhere: asks again after each Yes, gives up on No.
    msgs->answerYes();
    msgs->answerYes();
    msgs->answerNo();
    EXPECT_FALSE(BLOCKRECORD(QStringLiteral("chamber")));
    ASSERT_EQ(msgs->shown().size(), 3u);
    for (const auto& m : msgs->shown()) {
        EXPECT_EQ(m.kind, MessageKind::YesNo);
        EXPECT_EQ(m.text, QStringLiteral("Cannot lock. Record in use. Retry ??"));
        EXPECT_EQ(m.title, QStringLiteral("Curanote 1.0"));
    }
    EXPECT_FALSE(a_->isLocked(rec));
    EXPECT_EQ(fieldText(*a_, QStringLiteral("CHNAME")), QStringLiteral("Clinic"));

    // The other user lets go while the question is up: the retry succeeds.
    msgs->clear();
    msgs->onShow = [&](const testing::ShownMessage&) { other->unlock(); };
    msgs->answerYes();
    EXPECT_TRUE(BLOCKRECORD(QStringLiteral("chamber")));
    EXPECT_EQ(msgs->shown().size(), 1u);
    EXPECT_TRUE(a_->isLocked(rec));
    EXPECT_FALSE(other->rlock());   // now held here
    a_->unlock();

    // Free at once: no question.
    msgs->clear();
    EXPECT_TRUE(BLOCKRECORD(QStringLiteral("chamber")));
    EXPECT_TRUE(msgs->shown().empty());
    a_->unlock();
}

TEST_F(TableRoutinesTest, MissingAliasOrNoRecordRefusesQuietly)
{
    ScopedMessages msgs;
    EXPECT_EQ(GETCODE(QStringLiteral("nosuch"), 1, QStringLiteral("CODE")), 0);
    EXPECT_FALSE(CHECK_DUPLICATE_APPEND(QStringLiteral("nosuch"), 1, QStringLiteral("X")));
    EXPECT_FALSE(CHECK_DUPLICATE_MODIFY(QStringLiteral("nosuch"), 1, QStringLiteral("X"), QStringLiteral("CODE"), 1));
    EXPECT_FALSE(BLOCKRECORD(QStringLiteral("nosuch")));
    a_->goTop();   // empty table: end of file
    EXPECT_FALSE(BLOCKRECORD(QStringLiteral("chamber")));
    EXPECT_TRUE(msgs->shown().empty());
}

TEST_F(TableRoutinesTest, TextFieldsStoreWindows1252Trimmed)
{
    const uint32_t rec = add(1, "  Café € Zoë  ");
    a_->goTo(rec);
    EXPECT_EQ(a_->str("CHNAME").substr(0, 11), std::string("Caf\xE9 \x80 Zo\xEB "));
    EXPECT_EQ(fieldText(*a_, QStringLiteral("chname")), QStringLiteral("Café € Zoë"));
}

} // namespace
} // namespace cn
