#include "ControlsAccessible.h"

#include "ARoundButtonSlider.h"
#include "ATextField.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <cmath>
#include <mutex>

namespace {

bool isDecoration(const QObject *object)
{
    return object && object->property("decoration").isValid();
}

class SliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(ARoundButtonSlider *slider)
        : QAccessibleWidget(slider, QAccessible::Slider)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            const double range = slider()->maxValue() - slider()->minValue();
            const double share = range != 0.0 ? (slider()->doubleValue() - slider()->minValue()) / range : 0.0;
            return QStringLiteral("%1 %").arg(std::lround(share * 100.0));
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->doubleValue(); }
    // The same step a key or a drag makes: the device is written and a linked pair follows.
    void setCurrentValue(const QVariant &value) override
    {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (ok && std::isfinite(v) && slider()->isEnabled())
            slider()->stepTo(v);
    }
    QVariant maximumValue() const override { return slider()->maxValue(); }
    QVariant minimumValue() const override { return slider()->minValue(); }
    QVariant minimumStepSize() const override { return (slider()->maxValue() - slider()->minValue()) / 100.0; }

private:
    ARoundButtonSlider *slider() const { return static_cast<ARoundButtonSlider *>(widget()); }
};

// A read-out: its text, and that text with its unit as the description.
class TextFieldAccessible final : public QAccessibleWidget {
public:
    explicit TextFieldAccessible(ATextField *field)
        : QAccessibleWidget(field, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto *field = static_cast<const ATextField *>(widget());
        if (t == QAccessible::Name && field->accessibleName().isEmpty())
            return field->text();
        if (t == QAccessible::Description && field->accessibleDescription().isEmpty())
            return field->spokenText();
        return QAccessibleWidget::text(t);
    }
};

// A view whose decorative children are not announced: they carry no meaning and would only
// lengthen the walk through the window.
class DecoratedViewAccessible final : public QAccessibleWidget {
public:
    explicit DecoratedViewAccessible(QWidget *view)
        : QAccessibleWidget(view, QAccessible::Pane)
    {
    }

    int childCount() const override { return static_cast<int>(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> list = children();
        if (index < 0 || index >= list.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        return static_cast<int>(children().indexOf(qobject_cast<QWidget *>(child->object())));
    }

private:
    QList<QWidget *> children() const
    {
        QList<QWidget *> list;
        for (QObject *o : widget()->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (w && !w->isWindow() && !isDecoration(w))
                list.append(w);
        }
        return list;
    }
};

bool hasDecoratedChild(const QObject *object)
{
    for (const QObject *child : object->children())
        if (isDecoration(child))
            return true;
    return false;
}

QAccessibleInterface *controlsFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ARoundButtonSlider"))
        return new SliderAccessible(static_cast<ARoundButtonSlider *>(object));
    if (className == QLatin1String("ATextField"))
        return new TextFieldAccessible(static_cast<ATextField *>(object));
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && className == QLatin1String("QWidget") && hasDecoratedChild(widget))
        return new DecoratedViewAccessible(widget);
    return nullptr;
}

} // namespace

void installControlsAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(controlsFactory); });
}
