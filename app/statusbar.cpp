#include "app/statusbar.h"

#include "app/clock.h"
#include "app/routines.h"
#include "app/settings.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

namespace cn {

namespace {

constexpr int kLampPeriodMs = 250;
constexpr int kClockPeriodMs = 1000;
const char* const kLampProperty = "lampOn";

QIcon lampIcon(bool on)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(4.5, 4.5), 6);
    if (on) {
        g.setColorAt(0, QColor(200, 255, 200));
        g.setColorAt(1, QColor(0, 170, 0));
    } else {
        g.setColorAt(0, QColor(170, 170, 170));
        g.setColorAt(1, QColor(60, 60, 60));
    }
    p.setBrush(g);
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.drawEllipse(QRectF(1, 1, 10, 10));
    return QIcon(pm);
}

} // namespace

QString clockText(const QTime& t)
{
    const int h = t.hour();
    int shown = h;
    if (h == 0)
        shown = 12;
    else if (h > 12)
        shown = h - 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(shown, 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(h < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    setFont(QFont(QStringLiteral("Verdana"), 7));
    setSizeGripEnabled(false);

    folder_ = new QLabel(settings().MCURDIR, this);
    folder_->setObjectName(QStringLiteral("Status_Folder"));
    folder_->setToolTip(settings().MCURDIR);
    folder_->setMinimumWidth(40);
    addWidget(folder_, 1);

    const struct { LockKey key; const char* name; const char* caption; } lamps[] = {
        {LockKey::NumLock, "Status_NumLock", "NumLock"},
        {LockKey::CapsLock, "Status_CapsLock", "CapsLock"},
        {LockKey::Insert, "Status_Insert", "Insert"},
    };
    for (const auto& l : lamps) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(l.name));
        b->setText(QLatin1String(l.caption));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(12, 12));
        const LockKey key = l.key;
        connect(b, &QToolButton::clicked, this, [this, key] {
            keyboardLocks().toggle(key);
            refreshLamps();
        });
        lamps_[static_cast<int>(key)] = b;
        addPermanentWidget(b);
    }

    const QString day = DDMONYY(today());
    date_ = new QLabel(day, this);
    date_->setObjectName(QStringLiteral("Status_Date"));
    date_->setToolTip(day);
    date_->setFixedWidth(90);
    date_->setAlignment(Qt::AlignCenter);
    addPermanentWidget(date_);

    const QString started = clockText(timeNow());
    clock_ = new QLabel(started, this);
    clock_->setObjectName(QStringLiteral("Status_Clock"));
    clock_->setToolTip(started);
    clock_->setFixedWidth(92);
    clock_->setAlignment(Qt::AlignCenter);
    addPermanentWidget(clock_);

    refreshLamps();

    lampTimer_ = new QTimer(this);
    connect(lampTimer_, &QTimer::timeout, this, &StatusBar::refreshLamps);
    lampTimer_->start(kLampPeriodMs);
    clockTimer_ = new QTimer(this);
    connect(clockTimer_, &QTimer::timeout, this, &StatusBar::refreshClock);
    clockTimer_->start(kClockPeriodMs);
}

void StatusBar::refreshLamps()
{
    for (LockKey key : {LockKey::NumLock, LockKey::CapsLock, LockKey::Insert}) {
        QToolButton* b = lamp(key);
        const bool on = keyboardLocks().isOn(key);
        const QVariant was = b->property(kLampProperty);
        if (!was.isValid() || was.toBool() != on) {
            b->setProperty(kLampProperty, on);
            b->setIcon(lampIcon(on));
        }
    }
}

void StatusBar::refreshClock() { clock_->setText(clockText(timeNow())); }

bool StatusBar::lampOn(LockKey key) const { return lamp(key)->property(kLampProperty).toBool(); }

} // namespace cn
