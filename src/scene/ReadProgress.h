#pragma once

#include <cstdint>
#include <functional>

// Receives the progress of a model read as a percentage, 0 to 100.
using ProgressFn = std::function<void(int percent)>;

// Forwards a percentage only when it differs from the last one sent, so a reader
// can report from its inner loop without flooding a queued signal.
class ProgressMeter
{
public:
    explicit ProgressMeter(ProgressFn fn = {}) : m_fn(std::move(fn)) {}

    void set(int percent)
    {
        if (percent == m_last)
            return;
        m_last = percent;
        if (m_fn)
            m_fn(percent);
    }

private:
    ProgressFn m_fn;
    int m_last = -1;
};

// Maps `done` out of `total` units of work onto the percentages from..to.
// update() is cheap between steps: it only divides when the next percentage is reached.
class ProgressSpan
{
public:
    ProgressSpan(ProgressMeter &meter, int from, int to, uint64_t total)
        : m_meter(meter), m_from(from), m_to(to), m_total(total == 0 ? 1 : total)
    {
        m_meter.set(from);
        m_next = thresholdFor(from + 1);
    }

    void update(uint64_t done)
    {
        if (done < m_next)
            return;
        const int p = percentAt(done);
        m_meter.set(p);
        m_next = thresholdFor(p + 1);
    }

    void finish() { m_meter.set(m_to); }

private:
    int percentAt(uint64_t done) const
    {
        if (done >= m_total)
            return m_to;
        return m_from + int(uint64_t(m_to - m_from) * done / m_total);
    }
    // The smallest amount of work at which `percent` is reached.
    uint64_t thresholdFor(int percent) const
    {
        if (percent > m_to || m_to == m_from)
            return UINT64_MAX;
        const uint64_t steps = uint64_t(percent - m_from);
        const uint64_t span = uint64_t(m_to - m_from);
        return (steps * m_total + span - 1) / span;
    }

    ProgressMeter &m_meter;
    int m_from;
    int m_to;
    uint64_t m_total;
    uint64_t m_next = 0;
};
