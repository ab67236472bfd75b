#include "start_up_work.h"

#ifdef PLANORA_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

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

}  // namespace planora
