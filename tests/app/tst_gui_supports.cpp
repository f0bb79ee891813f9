#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include "support_window.h"
#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "view/ui/Canvas.h"

// The support tab and commands of the main window.
class TestWindowSupports : public WindowTest
{
    Q_OBJECT
public:
    TestWindowSupports() : WindowTest(EmptySettingsFile, ShownWindow) {}

private:
    Canvas *canvas() const { return m_window->canvas; }
    Scene *scene() const { return m_window->canvas->scene(); }
    template <typename T>
    T *find(const char *name) const { return widget<T>(*m_window, name); }

    // A 20 × 14 × 4 mm box tilted 20° and lifted 6 mm: its underside needs supports.
    int overhangingModel()
    {
        const QString path = m_data->filePath("slab.obj");
        writeBox(path, 20, 14, 4);
        loadModel(*m_window, path);
        const int id = scene()->objectCount() - 1;
        scene()->object(id)->rotation = QVector3D(20, 0, 0);
        scene()->object(id)->move.setZ(scene()->object(id)->move.z() + 6);
        scene()->refreshAABB(id, 0);
        scene()->changeSelObj({id}, id);
        return id;
    }

    int gridSupportsWithPitch(const QString &text)
    {
        onNextModal<QInputDialog>([text](QInputDialog *d) {
            QCOMPARE(d->windowTitle(), QString("Please specify support pitch"));
            QCOMPARE(d->labelText(), QString("Support pitch (mm): "));
            d->setTextValue(text);
            d->accept();
        });
        const int before = scene()->supportCount();
        m_window->findChild<QAction *>("actionCreate_Grid_Supports")->trigger();
        return scene()->supportCount() - before;
    }

    int firstSupportObject() const
    {
        for (int id = 1; id < scene()->objectCount(); ++id)
            if (scene()->object(id)->type == TypeSupport)
                return id;
        return -1;
    }

private slots:
    void gridSupportsFromTheMenu()
    {
        const int model = overhangingModel();
        QVERIFY(find<QAction>("actionCreate_Grid_Supports")->isEnabled());
        // Refused pitches change nothing and say why.
        QString warned;
        answerNextBox(QMessageBox::Ok, &warned);
        QCOMPARE(gridSupportsWithPitch("0"), 0);
        QCOMPARE(warned, QString("The support pitch must be a number above 0 mm."));

        const int made = gridSupportsWithPitch("2");
        QVERIFY2(made > 20, qPrintable(QString::number(made)));
        for (int k = 0; k < scene()->supportCount(); ++k)
            QCOMPARE(scene()->supportRecord(k)->parentId, model);
        QVERIFY(logText(*m_window).contains("Automatic support generation time: "));
        // The dialog offers the pitch used last.
        onNextModal<QInputDialog>([](QInputDialog *d) {
            QCOMPARE(d->textValue(), QString("2"));
            d->reject();
        });
        find<QAction>("actionCreate_Grid_Supports")->trigger();

        if (!qEnvironmentVariableIsEmpty("ORVELL3D_SHOT")) {
            canvas()->resetView();
            QTest::qWait(1500);
            m_window->grab().save(qEnvironmentVariable("ORVELL3D_SHOT"));
        }
        // One undo takes the whole batch away.
        QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(scene()->supportCount(), 0);
    }

    void dimensionInputsAndSizes()
    {
        auto *contact = find<QDoubleSpinBox>("inpSupportContactDia");
        auto *contactSlider = find<QSlider>("sliderSupportContactDia");
        contact->setValue(0.7);
        QCOMPARE(contactSlider->value(), 7);
        QCOMPARE(canvas()->supportEditor()->parameters().r3, 0.35f);
        find<QSlider>("sliderSupportInter2Dia")->setValue(150);
        QCOMPARE(find<QDoubleSpinBox>("inpSupportInter2Dia")->value(), 1.5);
        find<QSlider>("sliderSupportTipOffset")->setValue(6);   // × 20
        QCOMPARE(find<QDoubleSpinBox>("inpSupportTipOffset")->value(), 0.3);

        find<QPushButton>("pbSupportSmall")->click();
        const SupportParameters p = canvas()->supportEditor()->parameters();
        QCOMPARE(p.r3, 0.15f);
        QCOMPARE(p.h2, 2.0f);
        QCOMPARE(p.r1, 0.5f);
        QCOMPARE(p.r2, 0.4f);
        QCOMPARE(p.r0, 0.75f);
        QVERIFY(p.thinTip);
        QCOMPARE(contactSlider->value(), 3);
        find<QPushButton>("pbSupportXL")->click();
        QCOMPARE(canvas()->supportEditor()->parameters().r3, 0.45f);
        QVERIFY(!canvas()->supportEditor()->parameters().thinTip);
    }

    void supportModeAndKeys()
    {
        overhangingModel();
        auto *manual = find<QAction>("actionManual_Supports");
        find<QRadioButton>("rbSupport1Pt")->click();
        QCOMPARE(canvas()->supportMode, 1);
        QVERIFY(manual->isChecked());
        // E and W step the contact diameter, F steps the flip copies.
        const double contact = find<QDoubleSpinBox>("inpSupportContactDia")->value();
        QTest::keyClick(m_window.get(), Qt::Key_E);
        QCOMPARE(find<QDoubleSpinBox>("inpSupportContactDia")->value(), contact + 0.05);
        QTest::keyClick(m_window.get(), Qt::Key_F);
        QTest::keyClick(m_window.get(), Qt::Key_F);
        QTest::keyClick(m_window.get(), Qt::Key_F);
        QVERIFY(find<QRadioButton>("rbFlipCopyX")->isChecked() && find<QRadioButton>("rbFlipCopyY")->isChecked());
        QCOMPARE(canvas()->supportEditor()->statusLine(),
                 QString("Support Mode (1 Pt). Press ESC to escape. [X Flip Copy ON] [Y Flip Copy ON]"));
        QTest::keyClick(m_window.get(), Qt::Key_F);
        QCOMPARE(canvas()->supportEditor()->flipCopyMode, 0);

        // A click on the underside (seen from below) makes a support there.
        turnView(*canvas(), &Canvas::viewBottom);
        const QPoint centre(canvas()->width() / 2, canvas()->height() / 2);
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(scene()->supportCount(), 1);
        QVERIFY(!scene()->supportRecord(0)->preview);
        if (!qEnvironmentVariableIsEmpty("ORVELL3D_SHOT")) {
            find<QTabWidget>("tabMenu")->setCurrentWidget(find<QWidget>("tabSupport"));
            QTest::qWait(300);
            m_window->grab().save(qEnvironmentVariable("ORVELL3D_SHOT") + ".mode.png");
        }

        find<QRadioButton>("rbSupport2Pt")->click();
        QCOMPARE(canvas()->supportMode, 2);
        QVERIFY(!find<QCheckBox>("cbSupportBranch")->isChecked());
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(canvas()->supportMode, 0);
        QVERIFY(!manual->isChecked());
        QVERIFY(find<QRadioButton>("rbSupport1Pt")->isChecked());

        // Delete all supports asks first; No keeps them.
        QString text, title;
        answerNextBox(QMessageBox::No, &text, &title);
        find<QAction>("actionDelete_All_Supports")->trigger();
        QCOMPARE(title, QString("Clear all supports?"));
        QCOMPARE(text, QString("Do you want clear all supports?"));
        QCOMPARE(scene()->supportCount(), 1);
        answerNextBox(QMessageBox::Yes);
        find<QAction>("actionDelete_All_Supports")->trigger();
        QCOMPARE(scene()->supportCount(), 0);
    }
    void modelsAreSafeInSupportModeAndDSingleSupportsOut()
    {
        const int model = overhangingModel();
        const int made = gridSupportsWithPitch("4");
        QVERIFY(made >= 3);
        const int objects = scene()->objectCount();
        find<QRadioButton>("rbSupport1Pt")->click();
        QCOMPARE(canvas()->supportMode, 1);

        // With the model current, neither Delete nor Clear touch it while supports are edited.
        scene()->changeSelObj({model}, model);
        const QString refusal("In support mode, normal models can't be removed.");
        const auto notices = watchNotices();
        find<QAction>("actionDelete_Models")->trigger();
        QTRY_COMPARE(notices->size(), 1);
        find<QAction>("actionClear_models")->trigger();
        QTRY_COMPARE(notices->size(), 2);
        QCOMPARE(notices->at(0).trimmed(), refusal);
        QCOMPARE(notices->at(1).trimmed(), refusal);
        QCOMPARE(scene()->objectCount(), objects);

        // D with a support current takes exactly that support away, and leaves the model.
        const int support = firstSupportObject();
        QVERIFY(support > model);
        scene()->changeSelObj({support}, support);
        QTest::keyClick(m_window.get(), Qt::Key_D);
        QCOMPARE(scene()->supportCount(), made - 1);
        QCOMPARE(scene()->objectCount(), objects - 1);
        QCOMPARE(scene()->object(model)->type, TypeModel);

        // Out of support mode, Delete removes the model with the supports it carries.
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(canvas()->supportMode, 0);
        scene()->changeSelObj({model}, model);
        find<QAction>("actionDelete_Models")->trigger();
        QCOMPARE(scene()->supportCount(), 0);
        QCOMPARE(scene()->objectCount(), 1);
    }
};

QTEST_MAIN(TestWindowSupports)
#include "tst_gui_supports.moc"
