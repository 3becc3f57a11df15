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

std::unique_ptr<Clock> setClock(std::unique_ptr<Clock> c)
{
    std::unique_ptr<Clock> previous = std::move(current());
    current() = c ? std::move(c) : std::make_unique<SystemClock>();
    return previous;
}

} // namespace cn
