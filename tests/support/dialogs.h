#pragma once
#include <QApplication>
#include <QTimer>
#include <functional>

namespace hv::test {

// Runs `answer` on the dialog of type D that `open` shows modally, as the user would answer
// it, from within its own event loop. False when `open` showed no such dialog.
template <typename D>
bool answerDialog(const std::function<void()>& open, const std::function<void(D&)>& answer) {
    bool answered = false;
    // A timer of this call's own: when no dialog comes, it goes with the call unfired.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            answered = true;
            answer(*d);
        }
    });
    timer.start(0);
    open();
    return answered;
}

} // namespace hv::test
