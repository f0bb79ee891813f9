#include <epoxy/gl.h>

#include "slicing/GpuFillRenderer.h"

#include <QElapsedTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "slicing/CutSegments.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GlState.h"

namespace {

// Positions are layer-image pixels; the offset moves them into the framebuffer, whose centre
// is the plate centre.
const char *const vertexSource = R"(#version 150 core
in vec2 position;
uniform vec2 offset;
uniform vec2 toNdc;
void main()
{
    gl_Position = vec4((position + offset) * toNdc - 1.0, 0.0, 1.0);
}
)";

const char *const fragmentSource = R"(#version 150 core
out vec4 fragColor;
void main()
{
    fragColor = vec4(1.0, 1.0, 1.0, 1.0);
}
)";

QString shaderLog(GLuint object, bool program)
{
    GLint length = 0;
    if (program)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    QByteArray text(std::max(length, 1), '\0');
    if (program)
        glGetProgramInfoLog(object, length, nullptr, text.data());
    else
        glGetShaderInfoLog(object, length, nullptr, text.data());
    return QString::fromUtf8(text.constData()).trimmed();
}

} // namespace

struct GpuFillRenderer::Private
{
    SliceParameters params;
    bool configured = false;
    int edge = 0;
    int driverLimit = 0;   // framebuffer, texture and viewport edge the driver allows
    int tileOverride = 0;
    int tileW = 0;         // the read-back target, at most driverLimit (and the override) a side
    int tileH = 0;
    CutSweep sweep;
    Timings timings;

    GLuint program = 0;
    GLint offsetLocation = -1;
    GLint toNdcLocation = -1;
    GLuint vao = 0;
    GLuint vbo = 0;
    std::vector<float> vertices;   // kept between layers to spare the allocations

    // The view's targets: one E × E texture per render mode, the projector region centred,
    // and their stencil buffer.
    bool viewTextures = true;
    GLuint textures[3] = {0, 0, 0};
    GLuint fbo = 0;
    GLuint depthStencil = 0;

    // Without view textures: a projector-size target of one byte per pixel.
    GLuint regionFbo = 0;
    GLuint regionColour = 0;
    GLuint regionStencil = 0;

    bool ensureProgram(QString *error)
    {
        if (program)
            return true;
        auto compile = [error](GLenum type, const char *source) -> GLuint {
            const GLuint s = glCreateShader(type);
            glShaderSource(s, 1, &source, nullptr);
            glCompileShader(s);
            GLint ok = GL_FALSE;
            glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
            if (!ok) {
                if (error)
                    *error = "The slicing fill shader cannot be built: " + shaderLog(s, false);
                glDeleteShader(s);
                return 0;
            }
            return s;
        };
        const GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
        if (!vs)
            return false;
        const GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource);
        if (!fs) {
            glDeleteShader(vs);
            return false;
        }
        const GLuint p = glCreateProgram();
        glAttachShader(p, vs);
        glAttachShader(p, fs);
        glBindAttribLocation(p, 0, "position");
        glBindFragDataLocation(p, 0, "fragColor");
        glLinkProgram(p);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint ok = GL_FALSE;
        glGetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            if (error)
                *error = "The slicing fill shader cannot be linked: " + shaderLog(p, true);
            glDeleteProgram(p);
            return false;
        }
        program = p;
        offsetLocation = glGetUniformLocation(p, "offset");
        toNdcLocation = glGetUniformLocation(p, "toNdc");
        return true;
    }

    GLuint ensureTexture(int mode)
    {
        if (!textures[mode])
            textures[mode] = createViewTexture(edge);
        return textures[mode];
    }

    // The framebuffer of a render: the view texture of the mode, or the projector-size target.
    // 0 with *error when the driver cannot make it.
    GLuint target(int mode, bool region, QString *error)
    {
        const int w = tileW, h = tileH;
        if (!vao) {
            glGenVertexArrays(1, &vao);
            glGenBuffers(1, &vbo);
        }
        GLuint framebuffer = region ? regionFbo : fbo;
        if (region && !regionFbo) {
            glGenRenderbuffers(1, &regionColour);
            glBindRenderbuffer(GL_RENDERBUFFER, regionColour);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_R8, w, h);
            glGenFramebuffers(1, &regionFbo);
            glBindFramebuffer(GL_FRAMEBUFFER, regionFbo);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, regionColour);
            // A stencil-only buffer is smallest; drivers that cannot pair it get depth and stencil.
            glGenRenderbuffers(1, &regionStencil);
            glBindRenderbuffer(GL_RENDERBUFFER, regionStencil);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_STENCIL_INDEX8, w, h);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, regionStencil);
            if (glGetError() != GL_NO_ERROR || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                          regionStencil);
            }
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
            framebuffer = regionFbo;
        } else if (!region) {
            if (!fbo) {
                glGenRenderbuffers(1, &depthStencil);
                glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, edge, edge);
                glBindRenderbuffer(GL_RENDERBUFFER, 0);
                glGenFramebuffers(1, &fbo);
            }
            framebuffer = fbo;
            const GLuint tex = ensureTexture(mode);
            glBindFramebuffer(GL_FRAMEBUFFER, fbo);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status == GL_FRAMEBUFFER_COMPLETE)
            return framebuffer;
        const GLenum err = glGetError();
        if (error)
            *error = QString("The slicing framebuffer (%1 × %2) cannot be made: %3.")
                         .arg(region ? w : edge)
                         .arg(region ? h : edge)
                         .arg(err != GL_NO_ERROR ? glErrorText(err) : QString("status 0x%1").arg(status, 0, 16));
        releaseTargets();
        return 0;
    }

    void releaseRunBuffers()
    {
        if (fbo)
            glDeleteFramebuffers(1, &fbo);
        if (depthStencil)
            glDeleteRenderbuffers(1, &depthStencil);
        if (regionFbo)
            glDeleteFramebuffers(1, &regionFbo);
        GLuint renderbuffers[2] = {regionColour, regionStencil};
        glDeleteRenderbuffers(2, renderbuffers);
        if (vbo)
            glDeleteBuffers(1, &vbo);
        if (vao)
            glDeleteVertexArrays(1, &vao);
        fbo = depthStencil = regionFbo = regionColour = regionStencil = vbo = vao = 0;
        std::vector<float>().swap(vertices);
    }

    void releaseTargets()
    {
        glDeleteTextures(3, textures);
        std::fill(std::begin(textures), std::end(textures), 0u);
        releaseRunBuffers();
    }

    void releaseAll()
    {
        releaseTargets();
        if (program)
            glDeleteProgram(program);
        program = 0;
    }

    void triangle(float ax, float ay, float bx, float by, float cx, float cy)
    {
        vertices.insert(vertices.end(), {ax, ay, bx, by, cx, cy});
    }

    // Two triangles over the whole framebuffer (in image pixels), then the fan: for each
    // object, one triangle per outline segment from the centre of the object's outline box.
    // Over a closed outline such a fan counts each pixel as often as the outline winds around
    // it. Long thin triangles are slow to rasterise, so runs of joined segments u0 … un are
    // drawn as one triangle (centre, u0, un) plus the small fan (u0, ui, ui+1) along the
    // outline, which counts the same.
    void buildVertices(const LayerSegments &layer, int x0, int y0)
    {
        const float lo[2] = {float(-x0), float(-y0)};
        const float hi[2] = {float(edge - x0), float(edge - y0)};
        vertices.assign({lo[0], lo[1], hi[0], lo[1], hi[0], hi[1], lo[0], lo[1], hi[0], hi[1], lo[0], hi[1]});
        vertices.reserve(12 + layer.segments.size() * 7);
        constexpr std::size_t run = 24;
        auto key = [](float x, float y) {
            uint32_t a, b;
            std::memcpy(&a, &x, 4);
            std::memcpy(&b, &y, 4);
            return (uint64_t(a) << 32) | b;
        };
        std::unordered_map<uint64_t, std::size_t> startingAt;
        std::vector<char> used;
        std::vector<float> chain;
        std::size_t begin = 0;
        for (std::size_t end : layer.objectEnds) {
            float minX = layer.segments[begin].x0, maxX = minX, minY = layer.segments[begin].y0, maxY = minY;
            startingAt.clear();
            for (std::size_t k = begin; k < end; ++k) {
                const CutSegment &s = layer.segments[k];
                minX = std::min({minX, s.x0, s.x1});
                maxX = std::max({maxX, s.x0, s.x1});
                minY = std::min({minY, s.y0, s.y1});
                maxY = std::max({maxY, s.y0, s.y1});
                startingAt[key(s.x0, s.y0)] = k;
            }
            const float cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
            used.assign(end - begin, 0);
            for (std::size_t first = begin; first < end; ++first) {
                if (used[first - begin])
                    continue;
                // Follows the outline from this segment as far as it is joined.
                chain.assign({layer.segments[first].x0, layer.segments[first].y0});
                std::size_t k = first;
                for (;;) {
                    used[k - begin] = 1;
                    const CutSegment &s = layer.segments[k];
                    chain.push_back(s.x1);
                    chain.push_back(s.y1);
                    const auto next = startingAt.find(key(s.x1, s.y1));
                    if (next == startingAt.end() || used[next->second - begin])
                        break;
                    k = next->second;
                }
                const std::size_t n = chain.size() / 2 - 1;   // segments in the chain
                for (std::size_t a = 0; a < n; a += run) {
                    const std::size_t b = std::min(a + run, n);
                    const float *u = &chain[2 * a];
                    triangle(cx, cy, u[0], u[1], chain[2 * b], chain[2 * b + 1]);
                    for (std::size_t i = a + 1; i < b; ++i)
                        triangle(u[0], u[1], chain[2 * i], chain[2 * i + 1], chain[2 * i + 2], chain[2 * i + 3]);
                }
            }
            begin = end;
        }
    }
};

GpuFillRenderer::GpuFillRenderer() : d(new Private) {}

GpuFillRenderer::~GpuFillRenderer()
{
    d->releaseAll();
}

bool GpuFillRenderer::configure(const SliceParameters &params, QString *error)
{
    d->configured = false;
    const QString bad = params.check();
    if (!bad.isEmpty()) {
        if (error)
            *error = bad;
        return false;
    }
    const int edge = params.framebufferEdge();
    const int limit = GlCrossSectionRenderer::maxFramebufferEdge();
    if (limit <= 0) {
        if (error)
            *error = "The graphics driver reports no framebuffer size.";
        return false;
    }
    // Panels beyond the driver's limit are read back in tiles.
    int tile = limit;
    if (d->tileOverride > 0)
        tile = std::min(tile, d->tileOverride);
    else if (const int env = qEnvironmentVariableIntValue("ORVELL3D_GPU_TILE_PX"); env > 0)
        tile = std::min(tile, env);
    const int tileW = std::min(params.projectorWidthPx, tile), tileH = std::min(params.projectorHeightPx, tile);
    if (edge != d->edge)
        d->releaseTargets();
    else if (params.projectorWidthPx != d->params.projectorWidthPx
             || params.projectorHeightPx != d->params.projectorHeightPx || tileW != d->tileW || tileH != d->tileH)
        d->releaseRunBuffers();
    d->params = params;
    d->edge = edge;
    d->driverLimit = limit;
    d->tileW = tileW;
    d->tileH = tileH;
    d->configured = true;
    return true;
}

const SliceParameters &GpuFillRenderer::parameters() const
{
    return d->params;
}

void GpuFillRenderer::setViewTextures(bool on)
{
    d->viewTextures = on;
}

void GpuFillRenderer::setMaxTilePx(int px)
{
    d->tileOverride = std::max(0, px);
}

int GpuFillRenderer::tileWidthPx() const
{
    return d->tileW;
}

int GpuFillRenderer::tileHeightPx() const
{
    return d->tileH;
}

unsigned int GpuFillRenderer::textureId(int mode) const
{
    return mode >= 0 && mode < 3 ? d->textures[mode] : 0u;
}

CrossSectionRenderer::Timings GpuFillRenderer::timings() const
{
    return d->timings;
}

void GpuFillRenderer::endRun()
{
    d->releaseRunBuffers();
    d->sweep.clear();
}

void GpuFillRenderer::releaseGpuResources()
{
    d->releaseAll();
    d->sweep.clear();
}

bool GpuFillRenderer::render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                             cv::Mat *image, QString *error)
{
    if (image)
        *image = cv::Mat();
    if (!d->configured) {
        if (error)
            *error = "The slicer has no projector size.";
        return false;
    }
    if (mode < 0 || mode > 2) {
        if (error)
            *error = QString("Unknown render mode %1.").arg(mode);
        return false;
    }
    if (!d->ensureProgram(error))
        return false;

    QElapsedTimer clock;
    clock.start();
    const int E = d->edge;
    const int w = d->params.projectorWidthPx;
    const int h = d->params.projectorHeightPx;
    const int x0 = (E - w) / 2;
    const int y0 = (E - h) / 2;
    d->sweep.prepare(objects, d->params);
    const LayerSegments layer = d->sweep.segments(cutZ, mode, flags);
    d->buildVertices(layer, x0, y0);

    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
        // errors left by earlier GL users are not this pass's
    }
    // The view's E × E textures hold the whole cut only where the driver allows that size, and
    // a read-back larger than one tile goes tile by tile through the projector-size target.
    const bool viewFits = E <= d->driverLimit;
    const bool tiled = w > d->tileW || h > d->tileH;
    if (!flags.readBack && !viewFits) {
        if (error)
            *error = QString("The %1 × %1 pixel view of the cut is beyond this graphics driver's limit of %2 pixels.")
                         .arg(E)
                         .arg(d->driverLimit);
        return false;
    }
    GlStateGuard saved;
    const bool region = flags.readBack && (!d->viewTextures || !viewFits || tiled);
    if (!d->target(mode, region, error))
        return false;

    glUseProgram(d->program);
    glBindVertexArray(d->vao);
    glBindBuffer(GL_ARRAY_BUFFER, d->vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(d->vertices.size() * sizeof(float)), d->vertices.data(), GL_STREAM_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_CLIP_DISTANCE0);
    glEnable(GL_STENCIL_TEST);
    glFrontFace(GL_CCW);
    glStencilMask(0xFF);
    const GLsizei fanVertices = GLsizei(d->vertices.size() / 2 - 6);

    // One fill of the target: the layer-image pixel (offsetX + i, offsetY + j) lands on target
    // pixel (i, j) of a viewport of viewW × viewH.
    auto fill = [&](float offsetX, float offsetY, int viewW, int viewH) {
        glUniform2f(d->offsetLocation, offsetX, offsetY);
        glUniform2f(d->toNdcLocation, 2.0f / float(viewW), 2.0f / float(viewH));
        glViewport(0, 0, viewW, viewH);
        // The count starts at 128, so that counts below zero (drain holes reaching out of their
        // model) stay apart from the positive ones: 129 … 255 light the pixel.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 0);
        glClearStencil(0x80);
        glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        // Outlines winding counter-clockwise face the front and add, the others subtract.
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glStencilOpSeparate(GL_FRONT, GL_KEEP, GL_KEEP, GL_INCR_WRAP);
        glStencilOpSeparate(GL_BACK, GL_KEEP, GL_KEEP, GL_DECR_WRAP);
        if (fanVertices > 0)
            glDrawArrays(GL_TRIANGLES, 6, fanVertices);
        // White where the count is above zero.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glStencilFunc(GL_LESS, 0x80, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glDrawArrays(GL_TRIANGLES, 0, 6);
    };

    if (region) {
        // The projector region tile by tile, each read straight into its place in the image.
        glDisable(GL_SCISSOR_TEST);
        cv::Mat img;
        if (image)
            img.create(h, w, CV_8UC1);
        double readMs = 0.0;
        QElapsedTimer readClock;
        for (int ty = 0; ty < h; ty += d->tileH) {
            for (int tx = 0; tx < w; tx += d->tileW) {
                fill(float(-tx), float(-ty), d->tileW, d->tileH);
                if (!image)
                    continue;
                // The fill's own time counts as drawing, not as reading it back.
                glFinish();
                readClock.start();
                glReadBuffer(GL_COLOR_ATTACHMENT0);
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glPixelStorei(GL_PACK_ROW_LENGTH, w);
                glReadPixels(0, 0, std::min(d->tileW, w - tx), std::min(d->tileH, h - ty), GL_RED, GL_UNSIGNED_BYTE,
                             img.ptr<uchar>(ty) + tx);
                glPixelStorei(GL_PACK_ROW_LENGTH, 0);
                readMs += double(readClock.nsecsElapsed()) / 1e6;
            }
        }
        glDisableVertexAttribArray(0);
        d->timings.drawMs += double(clock.nsecsElapsed()) / 1e6 - readMs;
        d->timings.readBackMs += readMs;
        clock.restart();
        if (image)
            *image = img;
    } else {
        if (flags.readBack) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(x0, y0, w, h);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        fill(float(x0), float(y0), E, E);
        glDisableVertexAttribArray(0);
        glFinish();
        d->timings.drawMs += double(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        if (flags.readBack && image) {
            // Whole pixels come back fastest from a colour texture; the red channel is the image.
            glReadBuffer(GL_COLOR_ATTACHMENT0);
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
            cv::Mat rgba(h, w, CV_8UC4);
            glReadPixels(x0, y0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data);
            cv::Mat img;
            cv::extractChannel(rgba, img, 0);
            *image = img;
        }
    }
    d->timings.readBackMs += double(clock.nsecsElapsed()) / 1e6;
    const GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
        if (image)
            *image = cv::Mat();
        if (error)
            *error = "The cross-section could not be rendered: " + glErrorText(err) + ".";
        return false;
    }
    return true;
}

std::vector<float> GpuFillRenderer::outline(const std::vector<SliceObject> &objects, float heightMm)
{
    if (!d->configured)
        return {};
    d->sweep.prepare(objects, d->params);
    return d->sweep.outline(heightMm);
}

std::function<std::vector<float>()> GpuFillRenderer::outlineLater(const std::vector<SliceObject> &objects,
                                                                  float heightMm)
{
    auto segments = std::make_shared<const std::vector<float>>(outline(objects, heightMm));
    return [segments]() { return *segments; };
}

NormalRange GpuFillRenderer::sampleNormals(const std::vector<SliceObject> &objects, float cutZ)
{
    if (!d->configured)
        return {};
    d->sweep.prepare(objects, d->params);
    return d->sweep.sampleNormals(cutZ);
}
