#include "setup/backup_form.h"

#include "app/clock.h"
#include "app/database.h"
#include "app/dialogs.h"
#include "app/grid.h"
#include "app/mainwindow.h"
#include "app/maintenance.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/setupform.h"
#include "data/catalog.h"
#include "data/setup.h"
#include "setup/backup/backup.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <tuple>
#include <vector>

namespace cn {

namespace {

using K = ControlKind;

const QString kFilter = QStringLiteral("Zip Files (*.ZIP)");

const QList<ControlDecl> kButtons = {
    {"Button_1", K::Button, 45, 140, 100, 30, "&Backup"},
    {"Button_2", K::Button, 150, 140, 100, 30, "&Restore"},
    {"Button_3", K::Button, 255, 140, 100, 30, "E&xit"},
};

// Set-up's view of the window while it opens the tables again, and while a
// restore checks them: status texts in the label, the index pass on the bar,
// messages through the program's boxes.
class WindowSetupView final : public data::SetupObserver {
public:
    WindowSetupView() = default;
    WindowSetupView(BackupForm* form, QProgressBar* bar) : form_(form), bar_(bar) {}
    void status(const std::string& text) override
    {
        if (form_)
            form_->PROGRESSUPDATE(value_, QString::fromStdString(text).trimmed());
    }
    void setRange(int bar, int minimum, int maximum) override
    {
        if (bar_ && bar == 2)
            bar_->setRange(minimum, maximum);
    }
    void setValue(int bar, int value) override
    {
        if (bar == 2)
            value_ = value;
    }
    int message(data::SetupBox kind, const std::string& text) override
    {
        return showSetupMessage(kind, text);
    }
    bool escapePressed() override { return false; }
    data::Date today() override { return toDate(cn::today()); }
    long secondsSinceMidnight() override { return timeNow().msecsSinceStartOfDay() / 1000; }

private:
    BackupForm* form_ = nullptr;
    QProgressBar* bar_ = nullptr;
    int value_ = 0;
};

// Every table closed for the length of a backup or restore, and open again
// afterwards as at start-up (also when the user cancels). The shared areas
// then go back to the order they were on, and after a backup to their
// record; after a restore the stored options are loaded again, as the
// restored folder may hold other ones. Open windows re-read their lists.
class TablesClosed {
public:
    TablesClosed()
    {
        for (const auto& step : data::catalog::openSteps())
            if (data::WorkArea* a = db().area(step.alias))
                places_.push_back({step.alias, a->indexOrd(), a->recNo()});
        db().closeAll();
    }
    ~TablesClosed()
    {
        WindowSetupView view;
        data::Setup(db(), view).CN_OPENDATA();
        for (const Place& p : places_) {
            data::WorkArea* a = db().area(p.alias);
            if (!a)
                continue;
            (void)a->setOrder(p.order);
            if (replaced_)
                a->goTop();
            else
                a->goTo(p.record);
        }
        db().select("dict");
        if (replaced_)
            SET_OPTIONS();
        refreshBrowseGrids();
    }
    TablesClosed(const TablesClosed&) = delete;
    TablesClosed& operator=(const TablesClosed&) = delete;

    void dataReplaced() { replaced_ = true; }

private:
    struct Place {
        std::string alias;
        int order;
        uint32_t record;
    };
    std::vector<Place> places_;
    bool replaced_ = false;
};

// A path in the label may break after each folder.
QString breakable(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
}

QString fromStd(const std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

BackupForm::BackupForm(QWidget* owner) : Form(QStringLiteral("Form_Backup"), WindowType::Child, owner)
{
    std::tie(bar_, label_) = shapeMaintenanceWindow(this, QStringLiteral("Backup"), kButtons);
    if (label_)
        label_->setWordWrap(true);
    for (int i = 0; i < 3; ++i)
        buttons_[i] = need<QPushButton>(QStringLiteral("Button_%1").arg(i + 1));
    if (buttons_[0])
        connect(buttons_[0], &QPushButton::clicked, this, [this] { CREATEZIP(); });
    if (buttons_[1])
        connect(buttons_[1], &QPushButton::clicked, this, [this] { UNZIP(); });
    if (buttons_[2])
        connect(buttons_[2], &QPushButton::clicked, this, &Form::release);
}

void BackupForm::PROGRESSUPDATE(int value, const QString& text, bool wait)
{
    bar_->setValue(value);
    label_->setText(breakable(text));
    if (hold_)
        wait ? hold_->pause(InputHold::pauseMs) : hold_->pump();
}

bool BackupForm::tablesMayClose()
{
    QStringList titles;
    for (Form* f : windowsHoldingOwnTables())
        titles << f->windowTitle();
    if (titles.isEmpty())
        return true;
    MESGEXCLAMATION(QStringLiteral("Please close these windows first; they work on tables of their own, which "
                                   "a backup or restore has to close:\n\n") +
                    titles.join(QLatin1Char('\n')));
    return false;
}

void BackupForm::showResult(const QString& text)
{
    QPalette pal = label_->palette();
    pal.setColor(QPalette::WindowText, kResultBlue);
    label_->setPalette(pal);
    label_->setText(breakable(text));
}

void BackupForm::setBusy(bool busy)
{
    delete hold_;
    hold_ = busy ? new InputHold : nullptr;
    if (busy) {
        QPalette pal = label_->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        label_->setPalette(pal);
    }
}

void BackupForm::CREATEZIP()
{
    if (!tablesMayClose())
        return;
    const QDateTime at = dateTimeNow();
    const QString name = QString::fromStdString(backup::archiveName(
        {at.date().year(), at.date().month(), at.date().day(), at.time().hour(), at.time().minute(), at.time().second()}));
    TablesClosed closed;
    const QString path = dialogs().saveFile(this, QStringLiteral("Curanote 1.0 - Backup To"),
                                            dbFolder() + QLatin1Char('/') + name, kFilter);
    if (path.isEmpty())
        return;
    const std::string folder = dbFolder().toStdString();
    const auto files = backup::backupFiles(folder);
    if (files.empty())
        return;
    bar_->setRange(1, static_cast<int>(files.size()));
    setBusy(true);
    const backup::BackupResult r =
        backup::backupFolder(folder, path.toStdString(), [this](int position, int count, const std::string& file) {
            if (bar_->maximum() != count)
                bar_->setRange(1, count);
            PROGRESSUPDATE(position, QString::fromStdString(file), true);
        });
    setBusy(false);
    using Outcome = backup::BackupResult::Outcome;
    switch (r.outcome) {
    case Outcome::Saved: showResult(fromStd(backup::kSavedTo) + path); break;
    case Outcome::Inconsistent: showResult(fromStd(backup::kInconsistent) + path); break;
    case Outcome::NoFiles: break;
    case Outcome::Refused: MESGEXCLAMATION(QString::fromStdString(r.message)); break;
    case Outcome::Failed:
        MESGEXCLAMATION(QStringLiteral("The backup could not be written:\n") + QString::fromStdString(r.message));
        break;
    }
}

void BackupForm::UNZIP()
{
    if (!tablesMayClose())
        return;
    const QString folder = dbFolder();
    TablesClosed closed;
    const QString path =
        dialogs().openFile(this, QStringLiteral("Curanote 1.0 - Restore From"), folder, kFilter);
    if (path.isEmpty())
        return;
    setBusy(true);
    WindowSetupView view(this, bar_);
    const backup::RestoreResult r = backup::restoreFolder(
        folder.toStdString(), path.toStdString(), view, [this](int position, int count, const std::string& entry) {
            if (position == 1)
                bar_->setRange(1, count);
            PROGRESSUPDATE(position, QString::fromStdString(entry), true);
        });
    setBusy(false);
    if (!r.restoredOk()) {
        showResult(fromStd(backup::kUnableToRestore) + path);
        const bool untouched = r.outcome != backup::RestoreResult::Outcome::Failed;
        MESGEXCLAMATION(fromStd(backup::kUnableToRestore) + path + QStringLiteral(":\n") +
                        QString::fromStdString(r.message) +
                        (untouched ? QStringLiteral("\n\nThe data folder is unchanged.") : QString()));
        return;
    }
    closed.dataReplaced();
    showResult(fromStd(backup::kRestoredFrom) + path);
    if (!r.safetyCopy.empty())
        MESGINFO(QStringLiteral("The data the folder held before the restore is saved in\n") +
                 QString::fromStdString(r.safetyCopy) + QStringLiteral("\n\nRestore from it to undo this restore."));
}

void BACKUP()
{
    if (focusForm(QStringLiteral("Form_Backup")))
        return;
    auto* form = new BackupForm;
    form->center();
    form->activate();
}

} // namespace cn
