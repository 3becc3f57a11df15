#include "app/clock.h"

namespace cn {

namespace {

class SystemClock final : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
    QTime now() const override { return QTime::currentTime(); }
};

std::unique_ptr<Clock>& current()
{
    static std::unique_ptr<Clock> instance = std::make_unique<SystemClock>();
    return instance;
}

} // namespace

Clock& clock() { return *current(); }

void setClock(std::unique_ptr<Clock> c) { current() = c ? std::move(c) : std::make_unique<SystemClock>(); }

} // namespace cn
