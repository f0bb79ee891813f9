#include <epoxy/gl.h>

#include <QtTest>

#include "slicing/GlContext.h"
#include "slicing/GlProgram.h"

// The headless context and the program builder the slicer and the view share.
class TestGlProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        QVERIFY(epoxy_gl_version() >= 32);
        QVERIFY(!m_ctx->description().isEmpty());
    }

    void slicerProgramsBuild()
    {
        GlProgram slice;
        QVERIFY2(slice.build("slice"), qPrintable(slice.errorString()));
        QVERIFY(slice.uniformLocation("cutZ") >= 0);
        QVERIFY(slice.attributeLocation("inVertex") >= 0);
        QCOMPARE(slice.uniformLocation("noSuchUniform"), -1);
        slice.bind();
        slice.setUniform("noSuchUniform", 1.0f);   // ignored, no GL error
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));

        GlProgram outline;   // a feedback program relinks with its varyings
        QVERIFY2(outline.build("intersection2", {"CustomPoint"}), qPrintable(outline.errorString()));
        QVERIFY2(outline.relink({"CustomPoint"}), qPrintable(outline.errorString()));

        GlProgram normal;
        QVERIFY2(normal.build("normal", {"dotP"}), qPrintable(normal.errorString()));
        // A varying the shaders do not write is a link error with a readable message.
        QVERIFY(!normal.relink({"noSuchVarying"}));
        QVERIFY(normal.errorString().startsWith("normal: link: "));
    }

    void missingSourceIsReported()
    {
        GlProgram p;
        QVERIFY(!p.build("noSuchProgram"));
        QVERIFY(!p.isLinked());
        QVERIFY(p.errorString().contains(":/gl/noSuchProgram.vert"));
    }

    void secondContextLeavesFirstUsable()
    {
        {
            QString error;
            auto other = GlContext::createCurrent(&error);
            QVERIFY2(other, qPrintable(error));
        }
        QVERIFY2(m_ctx->makeCurrent(), qPrintable(m_ctx->errorString()));
        GlProgram slice;
        QVERIFY2(slice.build("slice"), qPrintable(slice.errorString()));
    }

private:
    std::unique_ptr<GlContext> m_ctx;
};

QTEST_GUILESS_MAIN(TestGlProgram)
#include "tst_glprogram.moc"
