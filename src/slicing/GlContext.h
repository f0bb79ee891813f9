#pragma once

#include <QString>
#include <memory>

// A headless OpenGL 3.2+ core context through EGL, for the command-line program and the
// tests. No window system is needed: on NVIDIA machines the EGL device platform is used,
// elsewhere Mesa's surfaceless platform, and the default display as a last resort.
//
// GL calls go through libepoxy, which follows whichever context is current, so the code
// that draws with this context also runs unchanged inside the window's GL widget.
//
// The header carries no EGL or GL types, so it can be included next to Qt's GL headers.
class GlContext
{
public:
    GlContext();
    ~GlContext();   // releases and destroys the context (and the display connection)
    GlContext(const GlContext &) = delete;
    GlContext &operator=(const GlContext &) = delete;

    // Creates the context and makes it current on the calling thread.
    // False with errorString() set when no suitable context can be made.
    bool create();

    bool isValid() const;
    bool makeCurrent();
    void doneCurrent();

    // Why create() or makeCurrent() failed, for the user ("No OpenGL 3.2 context: …").
    QString errorString() const;
    // Which platform and renderer were chosen, e.g. "surfaceless, llvmpipe (LLVM 15.0.6, 256 bits), 4.5 (Core Profile) Mesa 22.3.6".
    QString description() const;

    // Convenience: a context made current, or nullptr with *error set.
    static std::unique_ptr<GlContext> createCurrent(QString *error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
