#pragma once
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <utility>

// An observation token: runs its closure once, when the last reference goes.
// Owners keep it (or a list of them) in a field; replacing or clearing the field ends the observation.
class Disposable {
public:
    explicit Disposable(std::function<void()> closure) : closure(std::move(closure)) {}
    ~Disposable() {
        if (closure)
            closure();
    }
    Disposable(const Disposable&) = delete;
    Disposable& operator=(const Disposable&) = delete;

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
    return makeDisposable(QObject::connect(source, signal, target,
                                           [target, setter](T value) { (target->*setter)(value); }));
}

template <typename Source, typename Target, typename Setter>
DisposablePtr bindBool(const Source* source, void (Source::*signal)(bool), Target* target, Setter setter) {
    return bind(source, signal, target, setter);
}
