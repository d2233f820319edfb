#pragma once
// Switches the toolkit's accessibility on as a screen reader's bridge does
// and hears what it would hand the bridge, asking about each event's object
// the way a bridge asks. The offscreen platform has no bridge of its own.
#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <vector>

namespace orvex::test {

class AccessibilityListener {
public:
    struct Heard {
        QAccessible::Event type;
        QObject* object;
        int child;
    };

    AccessibilityListener() {
        Events().clear();
        Platform()->setActive(true);
        QAccessible::installUpdateHandler(&Hear);
    }
    ~AccessibilityListener() {
        QAccessible::installUpdateHandler(nullptr);
        Platform()->setActive(false);
        Events().clear();
    }
    AccessibilityListener(const AccessibilityListener&) = delete;
    AccessibilityListener& operator=(const AccessibilityListener&) = delete;

    static std::vector<Heard>& Events() {
        static std::vector<Heard> heard;
        return heard;
    }
    // What the last focus news was about: the object's child, else the object.
    static QAccessibleInterface* LastFocus() {
        for (auto e = Events().rbegin(); e != Events().rend(); ++e) {
            if (e->type != QAccessible::Focus) continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(e->object);
            return e->child >= 0 && iface ? iface->child(e->child) : iface;
        }
        return nullptr;
    }

private:
    static QPlatformAccessibility* Platform() { return QGuiApplicationPrivate::platformIntegration()->accessibility(); }
    static void Hear(QAccessibleEvent* e) {
        Events().push_back({e->type(), e->object(), e->child()});
        if (QAccessibleInterface* iface = e->accessibleInterface()) {
            (void)iface->state();
            (void)iface->text(QAccessible::Name);
            for (int i = 0; i < iface->childCount(); ++i)
                if (QAccessibleInterface* child = iface->child(i)) (void)child->state();
        }
    }
};

}  // namespace orvex::test
