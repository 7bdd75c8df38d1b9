#pragma once
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <utility>

// An observation token: runs its closure once, when the last reference goes or when its owner
// disposes of it first. Owners keep it (or a list of them) in a field; replacing or clearing the
// field ends the observation.
class Disposable {
public:
    explicit Disposable(std::function<void()> closure) : closure(std::move(closure)) {}
    ~Disposable() { dispose(); }
    Disposable(const Disposable&) = delete;
    Disposable& operator=(const Disposable&) = delete;

    // Ends the observation now; later calls and the release do nothing. The closure is taken
    // out before it runs, so a closure that releases the token itself still runs once.
    void dispose() {
        if (std::function<void()> run = std::exchange(closure, nullptr))
            run();
    }

    std::function<void()> closure;
};

using DisposablePtr = std::shared_ptr<Disposable>;

// Wraps a Qt connection: releasing the token disconnects it.
inline DisposablePtr makeDisposable(QMetaObject::Connection connection) {
    return std::make_shared<Disposable>([connection]() mutable { QObject::disconnect(connection); });
}

// Observes a signal (new value only; nothing is delivered at observe time).
// `context` is the receiver: the observation also ends when it is destroyed.
template <typename Source, typename Signal, typename Fn>
DisposablePtr observe(const Source* source, Signal signal, const QObject* context, Fn&& fn) {
    return makeDisposable(QObject::connect(source, signal, context, std::forward<Fn>(fn)));
}

// Copies every later value of the source property into the target for as long as the token lives.
// The current value is not copied at bind time.
template <typename Source, typename T, typename Target, typename Setter>
DisposablePtr bind(const Source* source, void (Source::*signal)(T), Target* target, Setter setter) {
    return makeDisposable(
        QObject::connect(source, signal, target, [target, setter](T value) { (target->*setter)(value); }));
}

template <typename Source, typename Target, typename Setter>
DisposablePtr bindBool(const Source* source, void (Source::*signal)(bool), Target* target, Setter setter) {
    return bind(source, signal, target, setter);
}

// How bindProperty follows: by default later values of the source only, one way.
struct BindOptions {
    bool copyNow = false;   // also copy the source's current value at once
    bool bothWays = false;  // the target's later values go back to the source too
};

// Binds two properties by name through their change signals (NOTIFY) for as long as the token
// lives and the target exists: each change of the source's property is written into the
// target's. A value equal to the one there is not written again, so a two-way binding settles.
// Returns null when a property is missing, cannot be read or written, or has no change signal
// where one is needed.
DisposablePtr bindProperty(QObject* source, const char* sourceProperty, QObject* target, const char* targetProperty,
                           BindOptions options = {});

// A binding of two Boolean properties by name, later values only: a settings object's
// "autolaunch" to a check box's "checked", say. Null when either property is not Boolean.
DisposablePtr bindBool(QObject* source, const char* sourceKeyPath, QObject* target, const char* targetKeyPath);
