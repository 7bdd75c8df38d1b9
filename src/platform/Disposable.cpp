#include "platform/Disposable.h"

#include <QMetaProperty>
#include <QPointer>

namespace {
QMetaProperty propertyNamed(const QObject* object, const char* name) {
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    return index < 0 ? QMetaProperty() : meta->property(index);
}

// Carries one property's changes to another; a child of the target, so it ends with it.
class PropertyRelay : public QObject {
    Q_OBJECT
public:
    PropertyRelay(QObject* source, const QMetaProperty& from, QObject* target, const QMetaProperty& to)
        : QObject(target), source_(source), target_(target), from_(from), to_(to) {}

public slots:
    void forward() { copy(source_, from_, target_, to_); }
    void backward() { copy(target_, to_, source_, from_); }

private:
    static void copy(QObject* from, const QMetaProperty& read, QObject* to, const QMetaProperty& write) {
        if (!from || !to)
            return;
        const QVariant value = read.read(from);
        if (write.read(to) != value)
            write.write(to, value);
    }

    QPointer<QObject> source_;
    QPointer<QObject> target_;
    QMetaProperty from_;
    QMetaProperty to_;
};

QMetaMethod slotNamed(const QObject* object, const char* signature) {
    const QMetaObject* meta = object->metaObject();
    return meta->method(meta->indexOfSlot(signature));
}
}  // namespace

DisposablePtr bindProperty(QObject* source, const char* sourceProperty, QObject* target, const char* targetProperty,
                           BindOptions options) {
    if (!source || !target)
        return nullptr;
    const QMetaProperty from = propertyNamed(source, sourceProperty);
    const QMetaProperty to = propertyNamed(target, targetProperty);
    if (!from.isReadable() || !from.hasNotifySignal() || !to.isReadable() || !to.isWritable())
        return nullptr;
    if (options.bothWays && (!from.isWritable() || !to.hasNotifySignal()))
        return nullptr;

    auto* relay = new PropertyRelay(source, from, target, to);
    QObject::connect(source, from.notifySignal(), relay, slotNamed(relay, "forward()"));
    if (options.bothWays)
        QObject::connect(target, to.notifySignal(), relay, slotNamed(relay, "backward()"));
    if (options.copyNow)
        relay->forward();
    return std::make_shared<Disposable>([relay = QPointer<PropertyRelay>(relay)] { delete relay.data(); });
}

DisposablePtr bindBool(QObject* source, const char* sourceKeyPath, QObject* target, const char* targetKeyPath) {
    if (!source || !target)
        return nullptr;
    const QMetaProperty from = propertyNamed(source, sourceKeyPath);
    const QMetaProperty to = propertyNamed(target, targetKeyPath);
    if (from.metaType() != QMetaType::fromType<bool>() || to.metaType() != QMetaType::fromType<bool>())
        return nullptr;
    return bindProperty(source, sourceKeyPath, target, targetKeyPath);
}

#include "Disposable.moc"
