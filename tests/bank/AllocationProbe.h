#pragma once
// Watches the largest single allocation made while a probe is alive, so that
// tests can show that a length or count claimed by a stream is not trusted.

#include <cstddef>

class AllocationProbe
{
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;

    std::size_t Largest() const;
};
