// Preloaded into Wine by the Windows port tests. A pseudo-terminal has no
// modem lines, and Wine's serial driver gives up waiting for port events
// when it cannot read them. Here the modem-line calls on a pseudo-terminal
// answer as a serial port with DSR, CTS and carrier up would, so that the
// event-driven path of the Win32 port runs against the simulated radio.
#include <dlfcn.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    using Ioctl = int (*)(int, unsigned long, ...);
    static const Ioctl real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const int result = real(fd, request, arg);
    const bool modemCall = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (result == 0 || !modemCall || (errno != ENOTTY && errno != EINVAL)) return result;
    if (request == TIOCMGET) *static_cast<int*>(arg) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
    return 0;
}
