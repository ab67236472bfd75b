#include "start_up_work.h"

#ifdef PLANORA_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <QDBusConnection>

#include "pixel_stamps.h"

namespace planora {

std::jthread readFontConfiguration() {
#ifdef PLANORA_HAVE_FONTCONFIG
    // The same call Qt's font database makes first: it parses the configuration files and maps
    // the font caches. The second call finds them read.
    return std::jthread([] { FcInit(); });
#else
    return {};
#endif
}

std::jthread takeProcessStamps() {
    return std::jthread([] { prepareProcessStamps(); });
}

std::jthread connectSessionBus() {
    // The connection is made once for the process; the menu bar's own request then finds it
    // made, or waits for this one instead of starting another.
    return std::jthread([] { QDBusConnection::sessionBus(); });
}

}  // namespace planora
