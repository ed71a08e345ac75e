#include "screens/OpenGLProbe.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

bool OpenGLProbe::available()
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!surface.isValid() || !context.create())
        return false;
    const bool current = context.makeCurrent(&surface);
    if (current)
        context.doneCurrent();
    return current;
}
