// Host calls that fail on purpose: the n-th call of a kind, counted from when
// the failure was armed, answers as the host does when it cannot serve it.
#include <array>
#include <string>
#include <utility>

#include "host/allocation_hook.h"
#include "standin/standin_control.h"

namespace standin {

namespace {

struct Armed {
    uint64_t countdown = 0;   // 0: not armed
};

std::array<Armed, static_cast<size_t>(HostCall::count)>& armed()
{
    static std::array<Armed, static_cast<size_t>(HostCall::count)> calls;
    return calls;
}

}  // namespace

void failNthCall(HostCall call, uint64_t n)
{
    armed()[static_cast<size_t>(call)].countdown = n;
}

void clearFailures()
{
    armed().fill(Armed{});
}

bool hostCallFails(HostCall call)
{
    Armed& a = armed()[static_cast<size_t>(call)];
    if (a.countdown == 0)
        return false;
    return --a.countdown == 0;
}

bool parseHostCall(const std::string& name, HostCall& call)
{
    static const std::pair<const char*, HostCall> names[] = {
        {"opGetField", HostCall::getField},          {"opAllocImage", HostCall::allocImage},
        {"mtCreateLineImage", HostCall::createLineImage}, {"mtBoundingBox", HostCall::boundingBox},
        {"mtPenPosition", HostCall::penPosition},        {"allocation", HostCall::allocation},
    };
    for (const auto& [text, value] : names)
        if (name == text) {
            call = value;
            return true;
        }
    return false;
}

}  // namespace standin

// The plug-in asks before each of its working allocations.
extern "C" ZASK_STANDIN_API int32_t hostAllocationFails(void)
{
    return standin::hostCallFails(standin::HostCall::allocation) ? 1 : 0;
}
