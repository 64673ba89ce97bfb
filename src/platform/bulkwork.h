#pragma once
#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

namespace hv {

class StatusPanels;

// How a bulk run cuts its work into batches: a batch ends after `rows` rows or once it has
// taken `millis` (0: no such limit), and a write waits `busyTimeoutMs` for another
// program's lock. Each run keeps its own numbers.
struct BatchPolicy {
    int rows = 0;
    int millis = 0;
    int busyTimeoutMs = 5000;
};

// Where the batches of a policy end.
class BatchClock {
public:
    explicit BatchClock(const BatchPolicy& policy) : policy_(policy) { timer_.start(); }
    // Counts one row; true when the batch ends with it, and the next one begins.
    bool tick() {
        if (!due(++rows_)) return false;
        restart();
        return true;
    }
    // True when a batch of `rows` rows begun at the last restart is at its end.
    bool due(qint64 rows) const {
        return (policy_.rows > 0 && rows >= policy_.rows) ||
               (policy_.millis > 0 && (!timer_.isValid() || timer_.elapsed() >= policy_.millis));
    }
    void restart() {
        rows_ = 0;
        timer_.start();
    }
    // The next look at the time finds the batch at its end.
    void expire() { timer_.invalidate(); }

private:
    BatchPolicy policy_;
    qint64 rows_ = 0;
    QElapsedTimer timer_;
};

// What a bulk run (recalculation, migration, exchange import and export, the spreadsheet
// import) shows and how the user stops it. The run reports here; the window it runs for
// says where it goes. Nothing is shown and nothing stops by default.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    virtual void setStatus(int panel, const QString& text) {
        Q_UNUSED(panel);
        Q_UNUSED(text);
    }
    virtual void setProgress(double percent) { Q_UNUSED(percent); }
    virtual void setBusy(bool busy) { Q_UNUSED(busy); } // the hourglass
    // Between batches: the window system's turn. True when the user asked the run to stop.
    virtual bool yieldAndCheckCancel() { return false; }
};

// A run that shows nothing and never stops: the bulk tools' and a caller's without a window.
RunProgress& NoProgress();

// A run shown on the main window's status panels. Given a stop flag, the event loop gets a
// turn between batches and the run stops once the flag is set; the flag is cleared when the
// run begins and ends, so that a stop never carries over to the next run.
class StatusPanelsProgress : public RunProgress {
public:
    explicit StatusPanelsProgress(StatusPanels& panels, bool* stop = nullptr);
    ~StatusPanelsProgress() override;
    StatusPanelsProgress(const StatusPanelsProgress&) = delete;
    StatusPanelsProgress& operator=(const StatusPanelsProgress&) = delete;

    void setStatus(int panel, const QString& text) override;
    void setBusy(bool busy) override;
    bool yieldAndCheckCancel() override;

private:
    StatusPanels& panels_;
    bool* stop_;
};

} // namespace hv
