#pragma once
#include <QTimer>
#include <functional>

namespace hv {

// The data collection window's clock: ticks every interval while enabled. The window
// takes one from its creator, so tests tick it by hand.
class PollClock {
public:
    virtual ~PollClock() = default;
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
    virtual int interval() const = 0; // milliseconds
    std::function<void()> onTick;

protected:
    void tick() {
        if (onTick) onTick();
    }
};

// The real clock, over a QTimer.
class TimerPollClock : public PollClock {
public:
    explicit TimerPollClock(int intervalMs) {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void setEnabled(bool on) override {
        if (on)
            timer_.start();
        else
            timer_.stop();
    }
    bool isEnabled() const override { return timer_.isActive(); }
    int interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

// A clock that ticks only when told to.
class ManualPollClock : public PollClock {
public:
    explicit ManualPollClock(int intervalMs) : interval_(intervalMs) {}
    void setEnabled(bool on) override { enabled_ = on; }
    bool isEnabled() const override { return enabled_; }
    int interval() const override { return interval_; }
    // Ticks as the timer would: only while enabled.
    void fire() {
        if (enabled_) tick();
    }

private:
    int interval_;
    bool enabled_ = false;
};

} // namespace hv
