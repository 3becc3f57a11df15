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

void ProgramFixture::reopen()
{
    db().closeAll();
    data::Setup(db(), setup_).CN_OPENDATA();
}

} // namespace cn::testing
