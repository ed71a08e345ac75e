#pragma once

// Whether this machine can display through OpenGL: a context can be created
// and made current on an offscreen surface. Needs a QGuiApplication.
class OpenGLProbe
{
public:
    static bool available();
};
