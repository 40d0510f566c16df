#include "workstate.h"

#include <QtGlobal>

// The resources live in a static library, so they must be registered by hand. Doing it here,
// above the state record in the same file, fixes the order: registered first, unregistered last.
struct ResourceRegistration
{
    ResourceRegistration() { Q_INIT_RESOURCE(resources); }
    ~ResourceRegistration() { Q_CLEANUP_RESOURCE(resources); }
};

static ResourceRegistration resourceRegistration;

WorkState workState;
