#pragma once
// The percentages of the last minute for the monitor's trend strip: a fixed
// ring of time-stamped samples. Appending never allocates, so a poll pays
// next to nothing for the strip.

#include <QtGlobal>
#include <cmath>
#include <vector>

namespace qel {

class TrendBuffer {
public:
    struct Sample {
        qint64 atMs;
        double value; // NaN: a blanked reading (a gap in the line)
    };

    explicit TrendBuffer(int capacity = 1024) : ring_(capacity > 0 ? capacity : 1) {}

    void append(qint64 atMs, double value)
    {
        ring_[head_] = Sample{atMs, value};
        head_ = (head_ + 1) % int(ring_.size());
        if (count_ < int(ring_.size()))
            ++count_;
    }
    void clear() { head_ = count_ = 0; }
    int size() const { return count_; }

    // Calls f(sample) for the samples at or after fromMs, oldest first.
    template <class F> void forEachSince(qint64 fromMs, F f) const
    {
        const int cap = int(ring_.size());
        for (int i = 0; i < count_; ++i) {
            const Sample &s = ring_[(head_ - count_ + i + cap) % cap];
            if (s.atMs >= fromMs)
                f(s);
        }
    }

    // Lowest and highest finite value since fromMs; false when there is none.
    bool range(qint64 fromMs, double &lo, double &hi) const
    {
        bool any = false;
        forEachSince(fromMs, [&](const Sample &s) {
            if (!std::isfinite(s.value))
                return;
            if (!any) {
                lo = hi = s.value;
                any = true;
            } else {
                lo = std::min(lo, s.value);
                hi = std::max(hi, s.value);
            }
        });
        return any;
    }

private:
    std::vector<Sample> ring_;
    int head_ = 0;
    int count_ = 0;
};

} // namespace qel
