#include "host/host_services.h"
#include "variants/variant.h"

void logFailure(int line)
{
    loggerMessage(4, line, variant.logSource, variant.moduleId, " ");
}
