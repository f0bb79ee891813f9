#include <QtTest>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include "config/ResinProfile.h"
#include "config/ui/LbfSetting.h"
#include "support_config.h"

namespace {

QStringList items(const QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

} // namespace

// The package dialog's selectors, field interlocks and store handling.
class ResinProfileDialogTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;
    QString m_store;

private slots:
    void initTestCase()
    {
        qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit());
        m_store = m_data.path() + "/profiles.ini";
    }

    void init()
    {
        QVERIFY(writeResinProfiles(m_store, {profile(0, "A", 50, 8), profile(0, "A", 25, 6), profile(1, "C", 50, 3),
                                             profile(0, "B", 100, 12)}));
    }

    void selectorsFollowMachineMaterialAndThickness()
    {
        LbfSetting d(nullptr, m_store);
        d.setMachine(0);
        d.setMaterialAndThickness("A", 25);
        QCOMPARE(child<QLineEdit>(&d, "inpMachine")->text(), QString("Stellan Arc 2.0"));
        QCOMPARE(items(child<QComboBox>(&d, "cmbMaterial")), (QStringList{"A", "B"}));
        QCOMPARE(items(child<QComboBox>(&d, "cmbSlicingThickness")), (QStringList{"50", "25"}));
        QCOMPARE(d.thickness(), 25);
        QCOMPARE(d.normalExposure(), 6.0);

        child<QComboBox>(&d, "cmbMaterial")->setCurrentIndex(1);
        QCOMPARE(d.material(), QString("B"));
        QCOMPARE(d.thickness(), 100);
        QCOMPARE(d.normalExposure(), 12.0);
        QCOMPARE(d.chosenProfile().MachineId, 0);

        d.setMaterialAndThickness("", 0);              // no material: the first one is taken
        QCOMPARE(d.material(), QString("A"));
        d.reject();
    }

    void dilationAndAntialiasingExcludeEachOther()
    {
        LbfSetting d(nullptr, m_store);
        d.setMachine(0);
        auto *aa = child<QComboBox>(&d, "cmbAA");
        auto *dilation = child<QSpinBox>(&d, "inpDilationLevel");
        auto *smoothing = child<QSpinBox>(&d, "inpSmoothingLevel");
        aa->setCurrentIndex(1);
        QVERIFY(!dilation->isEnabled() && !smoothing->isEnabled());
        aa->setCurrentIndex(0);
        QVERIFY(dilation->isEnabled());

        dilation->setValue(-1);
        QCOMPARE(aa->currentIndex(), 0);
        QVERIFY(!aa->isEnabled());
        QVERIFY(smoothing->isEnabled());
        smoothing->setValue(2);
        dilation->setValue(0);
        QCOMPARE(smoothing->value(), 0);
        QVERIFY(!smoothing->isEnabled());
        QVERIFY(aa->isEnabled());
        d.reject();
    }

    void editsPersistEvenWhenCancelled()
    {
        {
            LbfSetting d(nullptr, m_store);
            d.setMachine(0);
            d.setMaterialAndThickness("A", 50);
            child<QDoubleSpinBox>(&d, "inpNormalExp")->setValue(9.5);
            child<QPushButton>(&d, "pbUpdateProfile")->click();
            d.reject();
        }
        QList<ResinProfile> back;
        QVERIFY(readResinProfiles(m_store, &back));
        QCOMPARE(back.size(), 4);
        QCOMPARE(back[0].NormalExp, 9.5);
        QCOMPARE(back[1].NormalExp, 6.0);
    }

    void theOnlyProfileCannotBeDeleted()
    {
        QVERIFY(writeResinProfiles(m_store, {profile(0, "A", 50, 8)}));
        LbfSetting d(nullptr, m_store);
        d.setMachine(0);
        QString title;
        QTimer::singleShot(0, [&title] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                box->accept();
            }
        });
        child<QPushButton>(&d, "pbDeleteProfile")->click();
        QCOMPARE(title, QString("Only single resin profile"));
        QCOMPARE(d.profiles().size(), 1);
        d.reject();
    }

    void missingStoreGivesEmptySelectorsAndNoEmptyFile()
    {
        QFile::remove(m_store);
        LbfSetting d(nullptr, m_store);
        d.setMachine(2);
        d.setMaterialAndThickness("Mine", 35);
        QCOMPARE(child<QComboBox>(&d, "cmbMaterial")->count(), 0);
        QCOMPARE(d.material(), QString("Mine"));   // the export still runs with the fields
        QCOMPARE(d.thickness(), 35);
        d.accept();
        QVERIFY(!QFileInfo::exists(m_store));
    }

};

QTEST_MAIN(ResinProfileDialogTest)
#include "tst_resinprofile_dialog.moc"
