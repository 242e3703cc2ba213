#include "resources/BuiltinResources.h"

#include <QtCore/QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE refers to a function at global scope, so it is called from one.
static void registerResourceFile()
{
    Q_INIT_RESOURCE(resources);
}

void initBuiltinResources()
{
    static std::once_flag once;
    std::call_once(once, registerResourceFile);
}
