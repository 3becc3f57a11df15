#include "visits/renumber.h"

namespace cn {

RenumberResult renumberVisits(data::WorkArea& pvisit, const RenumberEvents& events)
{
    RenumberResult r;
    if (!pvisit.flock()) {
        r.outcome = RenumberResult::Outcome::Locked;
        return r;
    }
    auto fail = [&](data::Status s) {
        r.outcome = RenumberResult::Outcome::Failed;
        r.error = std::move(s);
    };
    if (auto s = pvisit.setOrder(2); !s) {
        fail(s);
        pvisit.unlock();
        return r;
    }
    pvisit.goTop();
    if (events.started)
        events.started(pvisit.lastRec());
    while (!pvisit.eof() && !pvisit.deleted() && r.outcome == RenumberResult::Outcome::Done) {
        const double patient = pvisit.num("PATCODE");
        if (events.patient)
            events.patient(static_cast<long long>(patient));
        double counter = 0;
        while (!pvisit.eof() && pvisit.num("PATCODE") == patient) {
            ++r.visits;
            if (events.visit)
                events.visit(r.visits);
            ++counter;
            // Only a number that differs is written: a second run writes nothing.
            if (pvisit.num("PVNO") != counter) {
                if (auto s = pvisit.setNum("PVNO", counter); !s) {
                    fail(s);
                    break;
                }
                ++r.changed;
            }
            pvisit.skip(1);
        }
        if (r.outcome == RenumberResult::Outcome::Done && !pvisit.lastError().empty())
            fail(data::Status::error(data::ErrorCode::Damaged, pvisit.lastError()));
    }
    if (auto s = pvisit.commit(); !s && r.outcome == RenumberResult::Outcome::Done)
        fail(s);
    pvisit.unlock();
    return r;
}

} // namespace cn
