#include "ControlsAccessible.h"

#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "ATextField.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
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
        if ((t == QAccessible::Value || t == QAccessible::Description) && !slider()->valueText().isEmpty())
            return slider()->valueText();
        if (t == QAccessible::Value) {
            const double range = slider()->maxValue() - slider()->minValue();
            const double share = range != 0.0 ? (slider()->doubleValue() - slider()->minValue()) / range : 0.0;
            return QStringLiteral("%1 %").arg(std::lround(share * 100.0));
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->doubleValue(); }
    // The same step a key or a drag makes: the device is written and a linked pair follows.
    // A fader the window hides (no interface attached) takes nothing, as it takes no key.
    void setCurrentValue(const QVariant &value) override
    {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (ok && std::isfinite(v) && slider()->isEnabled() && slider()->isVisibleTo(slider()->window()))
            slider()->stepTo(v);
    }
    QVariant maximumValue() const override { return slider()->maxValue(); }
    QVariant minimumValue() const override { return slider()->minValue(); }
    QVariant minimumStepSize() const override { return (slider()->maxValue() - slider()->minValue()) / 100.0; }

private:
    ARoundButtonSlider *slider() const { return static_cast<ARoundButtonSlider *>(widget()); }
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

// One choice of a matrix: a radio button that says whether it is the one chosen.
class RadioCellAccessible final : public QAccessibleWidget {
public:
    explicit RadioCellAccessible(AButton *cell)
        : QAccessibleWidget(cell, QAccessible::RadioButton)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            text = cell()->text().remove(QLatin1Char('&'));
        return text;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = cell()->isChecked();
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && cell()->isEnabled())
            cell()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    AButton *cell() const { return static_cast<AButton *>(widget()); }
};

// A read-out whose name carries what it shows, so that a screen reader's review of the window
// reads the number, not only what the number is ("Input level: -9.1 dB").
class TextFieldAccessible final : public QAccessibleWidget {
public:
    explicit TextFieldAccessible(ATextField *field)
        : QAccessibleWidget(field, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const QString label = widget()->accessibleName();
        const QString spoken = field()->spokenValue();
        if (label.isEmpty() || spoken.isEmpty())
            return label.isEmpty() ? spoken : label;
        return QCoreApplication::translate("ATextField", "%1: %2").arg(label, spoken);
    }

private:
    ATextField *field() const { return static_cast<ATextField *>(widget()); }
};

// The line of news at the foot of the window, which screen readers look for as the status bar.
class StatusLineAccessible final : public QAccessibleWidget {
public:
    explicit StatusLineAccessible(AStatusLine *line)
        : QAccessibleWidget(line, QAccessible::StatusBar)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<AStatusLine *>(widget())->message();
        return QAccessibleWidget::text(t);
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
    if (className == QLatin1String("AStatusLine"))
        return new StatusLineAccessible(static_cast<AStatusLine *>(object));
    if (className == QLatin1String("AButton")
        && qobject_cast<AMatrix *>(static_cast<AButton *>(object)->parentWidget()))
        return new RadioCellAccessible(static_cast<AButton *>(object));
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && className == QLatin1String("QWidget") && widget->property("announcer").isValid())
        return new QAccessibleWidget(widget, QAccessible::Notification);
    if (widget && className == QLatin1String("QWidget") && hasDecoratedChild(widget))
        return new DecoratedViewAccessible(widget);
    return nullptr;
}

} // namespace

QString withUnit(const QString &text, const QString &unit)
{
    return text.isEmpty() || unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

void installControlsAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(controlsFactory); });
}
