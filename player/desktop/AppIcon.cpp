#include "AppIcon.h"

// Resources of a static library are registered by hand: nothing else would
// pull their initialiser into the program.
static void initPlayerResources() { Q_INIT_RESOURCE(velplay); }

namespace velplay {

QIcon appIcon() {
    static const bool registered = (initPlayerResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/velplay.svg"));
}

} // namespace velplay
