#include "support/program_fixture.h"

#include "app/database.h"
#include "app/forms.h"
#include "app/mainwindow.h"
#include "program/windows.h"

#include <QCoreApplication>

namespace cn::testing {

ProgramFixture::ProgramFixture(const QString& folder) : folder_(folder)
{
    app();
    openDb(folder_);
    data::Setup(db(), setup_).SETUP_PROCESS(false);
    setWindowList(program::windows());
    main_ = new MainWindow;
    main_->show();
}

ProgramFixture::~ProgramFixture()
{
    releaseAllWindows();
    db().closeAll();
    if (main_)
        main_->release();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setWindowList({});
}

uint32_t appendRecord(const char* alias, std::initializer_list<std::pair<const char*, double>> numbers,
                      std::initializer_list<std::pair<const char*, const char*>> texts)
{
    data::WorkArea* a = area(QLatin1String(alias));
    if (!a || !a->append())
        return 0;
    bool written = true;
    for (const auto& [field, value] : numbers)
        written = written && a->setNum(field, value);
    for (const auto& [field, value] : texts)
        written = written && a->setStr(field, value);
    const uint32_t rec = a->recNo();
    a->unlock();
    return written && db().commitAll() ? rec : 0;
}

bool markDeleted(const char* alias, uint32_t rec)
{
    data::WorkArea* a = area(QLatin1String(alias));
    if (!a)
        return false;
    a->goTo(rec);
    if (a->eof() || !a->rlock())
        return false;
    const bool deleted = static_cast<bool>(a->deleteRecord());
    a->unlock();
    return deleted && db().commitAll();
}

void ProgramFixture::reopen()
{
    db().closeAll();
    data::Setup(db(), setup_).CN_OPENDATA();
}

} // namespace cn::testing
