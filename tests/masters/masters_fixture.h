#pragma once
// The master lists' tests, on the shared window fixture: a data folder made
// by set-up (the seeded chambers and dictionary phrases), scripted message
// boxes, and helpers that drive a master-list window by its control names and
// write or read its table through the engine, as another window would.
#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "app/listedit.h"
#include "support/program_test.h"

#include <QPushButton>
#include <QTest>
#include <ostream>

namespace cn::testing {

// One master-list window as its tests see it.
struct MasterCase {
    const char* form;
    void (*open)();
    const char* title;
    const char* suffix;         // of the buttons: Append_<suffix>
    const char* alias;
    const char* tableFile;
    const char* codeField;
    const char* nameField;
    const char* nameBox;
    const char* blankName;
    const char* duplicate;      // nullptr: the same name is accepted twice
    const char* inUse;          // nullptr: nothing refers to the records
    bool rows;                  // names filled from the seek (else a live list of every record)
    // Writes a live record elsewhere referring to `code`; returns (alias, record).
    std::pair<const char*, uint32_t> (*refer)(long long code);
};

inline void PrintTo(const MasterCase& c, std::ostream* os) { *os << c.form; }

class MastersTest : public ProgramTest {
protected:
    // Opens a window through its opener and makes it the active one.
    ListEditForm* openWindow(void (*opener)(), const char* formName)
    {
        opener();
        form_ = cn::form<ListEditForm>(QLatin1String(formName));
        EXPECT_NE(form_, nullptr) << formName;
        if (form_) {
            EXPECT_TRUE(showActive(form_));
        }
        return form_;
    }

    template <class T = QWidget>
    T* ctl(const QString& name) const
    {
        T* w = form_ ? form_->control<T>(name) : nullptr;
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    void click(const QString& button) { QTest::mouseClick(ctl<QPushButton>(button), Qt::LeftButton); }
    void retype(const QString& box, const QString& text)
    {
        // Typed over the selected old text, as a user would: the first key
        // replaces it, with no change through an empty box on the way.
        auto* b = ctl<QLineEdit>(box);
        b->setFocus(Qt::OtherFocusReason);
        b->selectAll();
        if (text.isEmpty())
            b->del();
        QTest::keyClicks(b, text);
    }
    QString text(const QString& box) const { return ctl<QLineEdit>(box)->text(); }

    // The names the list shows, in order (the grid's rows, or a live list's).
    QStringList listed(const QString& grid) const
    {
        QStringList out;
        if (auto* rows = form_->control<ArrayGrid>(grid)) {
            for (int r = 1; r <= rows->itemCount(); ++r)
                out << rows->item(r).value(0);
        } else if (auto* live = form_->control<BrowseGrid>(grid)) {
            for (int r = 0; r < live->browseModel()->rowCount(); ++r)
                out << live->browseModel()->rowTexts(r).value(0);
        }
        return out;
    }

public:
    // A record written through the engine; returns its record number.
    static uint32_t addRecord(const char* alias, std::initializer_list<std::pair<const char*, double>> numbers,
                              std::initializer_list<std::pair<const char*, const char*>> texts = {})
    {
        const uint32_t rec = appendRecord(alias, numbers, texts);
        EXPECT_NE(rec, 0u) << alias;
        return rec;
    }
    // Marks a record deleted, as another window would.
    static void deleteRecord(const char* alias, uint32_t rec) { ASSERT_TRUE(markDeleted(alias, rec)); }
    static void deleteAll(const char* alias)
    {
        data::WorkArea* a = area(QLatin1String(alias));
        for (uint32_t r = 1; r <= a->lastRec(); ++r) {
            a->goTo(r);
            if (!a->deleted())
                deleteRecord(alias, r);
        }
    }
    // The live record of that name, read through an area of its own so
    // that the window's area is not moved; nullptr when there is none.
    static data::WorkArea* stored(const char* tableFile, const char* nameField, const QString& name)
    {
        db().closeArea("masters_probe");
        auto opened = db().use(tableFile, "masters_probe", data::OpenMode{true, true});
        EXPECT_TRUE(opened) << tableFile;
        if (!opened)
            return nullptr;
        data::WorkArea* probe = opened.value();
        const bool found = probe->locate([&](data::WorkArea& r) { return fieldText(r, QLatin1String(nameField)) == name; });
        return found ? probe : nullptr;
    }

protected:
    ListEditForm* form_ = nullptr;
};

} // namespace cn::testing
