#include "aweman/CardListeners.h"

#include <algorithm>

CCardListeners& CCardListeners::Instance()
{
    static CCardListeners instance;
    return instance;
}

std::uint64_t CCardListeners::Add(CardChangedProc listener, void* context)
{
    if (!listener)
        return 0;
    const std::lock_guard guard(mutex);
    listeners.push_back({++lastToken, listener, context});
    return lastToken;
}

bool CCardListeners::Remove(std::uint64_t token)
{
    const std::lock_guard guard(mutex);
    const auto found = std::find_if(listeners.begin(), listeners.end(),
                                    [token](const Listener& listener) { return listener.token == token; });
    if (found == listeners.end())
        return false;
    listeners.erase(found);
    return true;
}

void CCardListeners::Notify()
{
    const std::lock_guard guard(mutex);
    for (const Listener& listener : listeners)
        listener.proc(listener.context);
}
