#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace hv {

// The program's top-level windows by name: the single program-wide instance of a
// window, a fresh instance, lookup, window state and unloading. Names are matched
// regardless of case.
class WindowRegistry {
public:
    WindowRegistry();
    ~WindowRegistry();
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    using Factory = std::function<QWidget*()>;

    // Factories for windows that live in subsystems the caller cannot reach directly.
    void registerFactory(const QString& name, Factory f);
    bool hasFactory(const QString& name) const;
    QWidget* create(const QString& name); // a fresh instance from the factory; nullptr without one

    // Records a loaded window under its name; it leaves the registry when destroyed.
    void add(const QString& name, QWidget* w);
    QWidget* find(const QString& name) const;           // the latest loaded instance
    QList<QWidget*> findAll(const QString& name) const; // every loaded instance, oldest first
    bool holds(const QWidget* w) const;                 // whether w is one of the loaded windows
    template <class T> T* findAs(const QString& name) const { return qobject_cast<T*>(find(name)); }
    bool isLoaded(const QString& name) const { return find(name) != nullptr; }

    // The loaded instance, or a new one from the factory; shown modeless and brought forward.
    QWidget* showSingle(const QString& name);
    // The loaded instance, or a new one from the factory, shown modal: returns once it is
    // hidden or destroyed. False when there is no such window.
    bool showModal(const QString& name);
    // Unloads a loaded instance, then shows a new one from the factory.
    QWidget* showFresh(const QString& name);
    // A new instance from the factory beside any loaded one, shown and brought forward, and
    // again once the event loop has turned: a window shown after it would otherwise cover it.
    QWidget* showAnother(const QString& name);
    // Closes and deletes every loaded instance of the name (but `except`); false when a
    // window refused to close and stays loaded.
    bool unload(const QString& name, const QWidget* except = nullptr);
    bool unloadAll(const QWidget* except = nullptr);

    // 0 normal, 1 minimized, 2 maximized; -1 when not loaded.
    int windowState(const QString& name) const;
    QStringList loadedNames() const;

private:
    // Kept out of this header so that logic taking a Program compiles without the widgets.
    struct Windows;
    std::unique_ptr<Windows> d_;
};

} // namespace hv
