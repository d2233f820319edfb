#include "ui/UdevDeviceEvents.h"

#include <QSocketNotifier>
#include <cstring>

#ifdef ORVEX_HAVE_UDEV
#include <libudev.h>
#endif

namespace orvex {

#ifdef ORVEX_HAVE_UDEV
struct UdevDeviceEvents::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    ~Udev() {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
    }
};
#else
struct UdevDeviceEvents::Udev {};
#endif

UdevDeviceEvents::UdevDeviceEvents(QObject* parent) : QObject(parent) {}

UdevDeviceEvents::~UdevDeviceEvents() { Close(); }

void UdevDeviceEvents::Close() {
    delete m_notifier;
    m_notifier = nullptr;
    m_udev.reset();
}

Outcome<void> UdevDeviceEvents::Start() {
    Close();
    const auto fail = [&](const char* what) {
        Close();
        return Problem{.what = what};
    };
#ifdef ORVEX_HAVE_UDEV
    m_udev = std::make_unique<Udev>();
    m_udev->context = udev_new();
    if (!m_udev->context) return fail("udev is not available");
    // "udev" rather than "kernel": the device node and its links exist by
    // the time udev tells, so the device can be opened and described.
    m_udev->monitor = udev_monitor_new_from_netlink(m_udev->context, "udev");
    if (!m_udev->monitor) return fail("the udev monitor cannot be created (no netlink socket)");
    if (udev_monitor_filter_add_match_subsystem_devtype(m_udev->monitor, "tty", nullptr) < 0)
        return fail("the udev monitor cannot be filtered");
    if (udev_monitor_enable_receiving(m_udev->monitor) < 0) return fail("the udev monitor cannot receive events");
    const int fd = udev_monitor_get_fd(m_udev->monitor);
    if (fd < 0) return fail("the udev monitor has no socket");
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { ReadEvents(); });
    return {};
#else
    return fail("built without libudev");
#endif
}

void UdevDeviceEvents::ReadEvents() {
#ifdef ORVEX_HAVE_UDEV
    // Everything waiting is taken at once: the socket is non-blocking, and
    // a notifier left with unread data would only fire again.
    while (m_udev && m_udev->monitor) {
        udev_device* dev = udev_monitor_receive_device(m_udev->monitor);
        if (!dev) break;
        const char* action = udev_device_get_action(dev);
        const char* node = udev_device_get_devnode(dev);
        DeviceEvent event;
        bool known = action && node && *node;
        if (known && std::strcmp(action, "add") == 0) event.kind = DeviceEvent::Kind::Added;
        else if (known && std::strcmp(action, "remove") == 0) event.kind = DeviceEvent::Kind::Removed;
        else known = false;  // change, bind, move: nothing came or went
        if (known) event.device = node;
        udev_device_unref(dev);
        // The handler may replace or stop this source: a copy is called.
        if (known && m_handler) {
            Handler handler = m_handler;
            handler(event);
        }
    }
#endif
}

}  // namespace orvex
