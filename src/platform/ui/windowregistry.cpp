#include "platform/windowregistry.h"

#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace hv {

struct WindowRegistry::Windows {
    QHash<QString, Factory> factories;
    QHash<QString, QList<QPointer<QWidget>>> loaded;
    QHash<QString, QString> names; // the name each window was first loaded under
};

namespace {
QString key(const QString& name) {
    return name.toLower();
}
} // namespace

WindowRegistry::WindowRegistry() : d_(std::make_unique<Windows>()) {}
WindowRegistry::~WindowRegistry() = default;

void WindowRegistry::registerFactory(const QString& name, Factory f) {
    d_->factories.insert(key(name), std::move(f));
}
bool WindowRegistry::hasFactory(const QString& name) const {
    return d_->factories.contains(key(name));
}

QWidget* WindowRegistry::create(const QString& name) {
    auto it = d_->factories.find(key(name));
    if (it == d_->factories.end()) return nullptr;
    QWidget* w = (*it)();
    if (w) add(name, w);
    return w;
}

void WindowRegistry::add(const QString& name, QWidget* w) {
    // Every instance is kept: a window that gets a fresh instance at each use may
    // have older ones still open, and they must be unloaded with the rest.
    d_->loaded[key(name)].append(QPointer<QWidget>(w));
    if (!d_->names.contains(key(name))) d_->names.insert(key(name), name);
    if (w->objectName().isEmpty()) w->setObjectName(name);
}

QWidget* WindowRegistry::find(const QString& name) const {
    auto it = d_->loaded.find(key(name));
    if (it == d_->loaded.end()) return nullptr;
    for (auto w = it->crbegin(); w != it->crend(); ++w)
        if (!w->isNull()) return w->data();
    return nullptr;
}

QList<QWidget*> WindowRegistry::findAll(const QString& name) const {
    QList<QWidget*> out;
    for (const QPointer<QWidget>& w : d_->loaded.value(key(name)))
        if (!w.isNull()) out << w.data();
    return out;
}

bool WindowRegistry::holds(const QWidget* w) const {
    if (!w) return false;
    for (const auto& list : d_->loaded)
        for (const QPointer<QWidget>& x : list)
            if (x.data() == w) return true;
    return false;
}

QWidget* WindowRegistry::showSingle(const QString& name) {
    QWidget* w = find(name);
    if (!w) w = create(name);
    if (!w) return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

namespace {
// Ends a local event loop when the watched window is hidden or destroyed.
class HideWatcher : public QObject {
public:
    explicit HideWatcher(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop_.quit();
        return QObject::eventFilter(o, e);
    }

private:
    QEventLoop& loop_;
};
} // namespace

bool WindowRegistry::showModal(const QString& name) {
    QWidget* w = find(name);
    if (!w) w = create(name);
    if (!w) return false;
    if (auto* d = qobject_cast<QDialog*>(w)) {
        d->exec();
        return true;
    }
    QPointer<QWidget> guard(w);
    QEventLoop loop;
    HideWatcher watcher(loop);
    w->installEventFilter(&watcher);
    QObject::connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
    w->setWindowModality(Qt::ApplicationModal);
    w->show();
    w->raise();
    if (w->isVisible()) loop.exec();
    if (guard) {
        guard->removeEventFilter(&watcher);
        guard->setWindowModality(Qt::NonModal);
    }
    return true;
}

QWidget* WindowRegistry::showFresh(const QString& name) {
    unload(name);
    QWidget* w = create(name);
    if (w) {
        w->show();
        w->raise();
    }
    return w;
}

QWidget* WindowRegistry::showAnother(const QString& name) {
    QWidget* w = create(name);
    if (!w) return nullptr;
    w->show();
    w->raise();
    QTimer::singleShot(0, w, [w] {
        w->raise();
        w->activateWindow();
    });
    return w;
}

bool WindowRegistry::unload(const QString& name, const QWidget* except) {
    auto it = d_->loaded.find(key(name));
    if (it == d_->loaded.end()) return true;
    const QList<QPointer<QWidget>> instances = *it;
    QList<QPointer<QWidget>> kept;
    for (const QPointer<QWidget>& w : instances) {
        if (w.isNull()) continue;
        // A window whose close handler refuses stays loaded, with whatever it holds.
        if (w.data() == except || !w->close()) {
            kept.append(w);
            continue;
        }
        delete w.data();
    }
    if (kept.isEmpty())
        d_->loaded.remove(key(name));
    else
        d_->loaded[key(name)] = kept;
    return kept.isEmpty() || (kept.size() == 1 && kept.first().data() == except);
}

bool WindowRegistry::unloadAll(const QWidget* except) {
    bool all = true;
    const QStringList keys = d_->loaded.keys();
    for (const QString& n : keys)
        all = unload(n, except) && all;
    return all;
}

int WindowRegistry::windowState(const QString& name) const {
    QWidget* w = find(name);
    if (!w) return -1;
    if (w->isMinimized()) return 1;
    if (w->isMaximized()) return 2;
    return 0;
}

QStringList WindowRegistry::loadedNames() const {
    QStringList out;
    for (auto it = d_->loaded.begin(); it != d_->loaded.end(); ++it)
        if (find(it.key())) out << d_->names.value(it.key(), it.key());
    return out;
}

} // namespace hv
