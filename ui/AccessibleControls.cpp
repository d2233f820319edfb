#include "ui/AccessibleControls.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>

#include "ui/CFontStatic_src/FontStatic.h"
#include "ui/readonlycombo_src/ReadOnlyComboBox.h"

namespace orvex {
namespace {

class PaintedTextAccessible final : public QAccessibleWidget {
public:
    explicit PaintedTextAccessible(CFontStatic* text) : QAccessibleWidget(text, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString given = widget()->accessibleName();
            return given.isEmpty() ? static_cast<const CFontStatic*>(widget())->Text() : given;
        }
        return QAccessibleWidget::text(t);
    }
};

// Named by its label, valued by its entry; opening it shows the list, whose
// own interface then tells the entries as the user moves through them.
class ListAccessible final : public QAccessibleWidget {
public:
    explicit ListAccessible(CReadOnlyComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
            // The widget's own rule: its accessible name, else its label's text.
            case QAccessible::Name: return QAccessibleWidget::text(t);
            case QAccessible::Value: return List()->currentText();
            default: return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return List()->view() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && List()->view() ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && List()->view() && child->object() == List()->view() ? 0 : -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = List()->view() && List()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) List()->showPopup();
    }

private:
    CReadOnlyComboBox* List() const { return static_cast<CReadOnlyComboBox*>(widget()); }
};

}  // namespace

QAccessibleInterface* ControlAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CFontStatic::staticMetaObject.className()))
        if (auto* text = qobject_cast<CFontStatic*>(object)) return new PaintedTextAccessible(text);
    if (className == QLatin1String(CReadOnlyComboBox::staticMetaObject.className()))
        if (auto* list = qobject_cast<CReadOnlyComboBox*>(object)) return new ListAccessible(list);
    return nullptr;
}

void InstallControlAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ControlAccessibleFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace orvex
