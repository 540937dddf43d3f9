#include "extrasresources.h"

#include <QtGlobal>

static void initExtras()
{
    Q_INIT_RESOURCE(extras);
}

void InitExtrasResources()
{
    static const bool done = (initExtras(), true);
    Q_UNUSED(done);
}
