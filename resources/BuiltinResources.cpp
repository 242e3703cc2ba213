#include "resources/BuiltinResources.h"

#include <QImage>
#include <QString>
#include <QtCore/QtGlobal>

#include <mutex>

#include "platform/gfx/Bitmap.h"

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

bool LoadBuiltinBitmap(gfx::TBitmap& target, const std::string& name)
{
    initBuiltinResources();
    const QImage image(QStringLiteral(":/pictures/") + QString::fromStdString(name) + QStringLiteral(".bmp"));
    if (image.isNull())
        return false;
    target.FromImage(image);
    return true;
}
