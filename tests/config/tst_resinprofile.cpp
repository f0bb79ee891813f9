#include <QtTest>
#include <QSettings>
#include <QTemporaryDir>

#include "config/DataFolder.h"
#include "config/ResinProfile.h"
#include "support_config.h"

// The profile store and exchange files: what is written must read back the same, and damaged
// files must load as harmless records.
class ResinProfileTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase()
    {
        qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit());
    }

    void exposuresAreStoredAsWholeMilliseconds()
    {
        ResinProfile p = profile(1, "Grey", 50);
        p.NormalExp = 8.5;
        p.FirstLayerExp = 1.001;          // 1000.9999… in binary: still 1001 ms
        p.BurnInExp = 0.25;
        const QByteArray text = resinProfilesText({p});
        QVERIFY(text.contains("\nNormalExp=8500\n"));
        QVERIFY(text.contains("\nFirstLayerExp=1001\n"));
        QVERIFY(text.contains("\nBurnInExp=250\n"));
    }

    void everyFieldSurvivesARoundTrip()
    {
        QList<ResinProfile> list;
        ResinProfile p = profile(2, QString::fromUtf8(" Harz, \"Grün\"; = @x "), 35);
        p.NormalExp = 2.345;
        p.BurnInExp = 1.5;
        p.FirstLayerCount = 7;
        p.FirstLayerExp = 45.125;
        p.X_Compensation = 0.1;
        p.Y_Compensation = -1.75;
        p.Z_Compensation = 2.0 / 3.0;
        p.intAA = 1;
        p.DilationLevel = -2;
        p.SmoothingLevel = 3;
        p.Note = QString::fromUtf8("line one\nline two\ttab \\ back \x01 €1a");
        list << p;
        ResinProfile at = profile(0, "@Variant(odd)", 50);
        at.index = 1;
        at.Note = "";
        list << at;

        const QString path = m_data.path() + "/roundtrip.ini";
        QVERIFY(writeResinProfiles(path, list));
        QList<ResinProfile> back;
        QVERIFY(readResinProfiles(path, &back));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].ResinName, p.ResinName);
        QCOMPARE(back[0].Note, p.Note);
        QVERIFY(back[0] == p);
        QVERIFY(back[1] == at);

        QStringList keys;   // the fixed key order of a record
        for (const QByteArray &line : resinProfilesText({at}).split('\n'))
            keys << QString::fromLatin1(line).section(QLatin1Char('='), 0, 0);
        QCOMPARE(keys.join(' '), QString("[0] MachineId ResinName SliceThickness NormalExp BurnInExp FirstLayerCount "
                                         "FirstLayerExp X_Compensation Y_Compensation Z_Compensation intAA "
                                         "DilationLevel SmoothingLevel Note "));

        // Qt's own reader agrees, so stores written by other builds read the same way.
        QSettings s(path, QSettings::IniFormat);
        QCOMPARE(s.value("0/ResinName").toString(), p.ResinName);
        QCOMPARE(s.value("1/ResinName").toString(), QString("@Variant(odd)"));
    }

    void groupsLoadInTextOrderAndAreRenumbered()
    {
        QList<ResinProfile> twelve;
        for (int i = 0; i < 12; ++i)
            twelve << profile(0, QString("R%1").arg(i), 50);
        const QString path = m_data.path() + "/twelve.ini";
        QVERIFY(writeResinProfiles(path, twelve));

        ResinProfileManager manager(path);
        QVERIFY(manager.loadProfiles());
        QStringList order;
        for (const ResinProfile &p : manager.profiles())
            order << p.ResinName;
        QCOMPARE(order, (QStringList{"R0", "R1", "R10", "R11", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9"}));
        QCOMPARE(manager.profiles().at(2).index, 2);

        QVERIFY(writeResinProfiles(path, manager.profiles()));   // the next store renumbers in that order
        QSettings s(path, QSettings::IniFormat);
        QCOMPARE(s.value("2/ResinName").toString(), QString("R10"));
        QCOMPARE(s.value("11/ResinName").toString(), QString("R9"));
    }

    void damagedFilesLoadAsZeroValuedRecords()
    {
        const QString path = m_data.path() + "/damaged.ini";
        writeTestFile(path,
                  "[0]\nMachineId=abc\nResinName=Kept\nSliceThickness=99999999999999999999\n"
                  "NormalExp=-5\nBurnInExp=nan\nFirstLayerCount=1e300\nFirstLayerExp=inf\n"
                  "X_Compensation=1e308\nY_Compensation=2.5\nintAA=7\nDilationLevel=2147483648\n"
                  "SmoothingLevel=2\n"
                  "[5]\nNormalExp=8500\n"
                  "garbage line without equals\n\x01\x02\xff\xfe=\n[[[\n");
        QList<ResinProfile> back;
        QVERIFY(readResinProfiles(path, &back));
        QVERIFY(back.size() >= 2);
        const ResinProfile &d = back[0];
        QCOMPARE(d.ResinName, QString("Kept"));
        QCOMPARE(d.MachineId, 0);
        QCOMPARE(d.SliceThickness, 0);
        QCOMPARE(d.NormalExp, 0.0);
        QCOMPARE(d.BurnInExp, 0.0);
        QCOMPARE(d.FirstLayerCount, 0);
        QCOMPARE(d.FirstLayerExp, 0.0);
        QCOMPARE(d.X_Compensation, 0.0);
        QCOMPARE(d.Y_Compensation, 2.5);
        QCOMPARE(d.intAA, 0);
        QCOMPARE(d.DilationLevel, 0);
        QCOMPARE(d.SmoothingLevel, 2);
        // Missing keys read as 0 or empty, not as the defaults of a new record.
        const ResinProfile &sparse = back[1];
        QCOMPARE(sparse.NormalExp, 8.5);
        QCOMPARE(sparse.SliceThickness, 0);
        QCOMPARE(sparse.FirstLayerExp, 0.0);
        QVERIFY(sparse.ResinName.isEmpty());

        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) % 251);
        writeTestFile(path, noise);
        QVERIFY(readResinProfiles(path, &back));   // loads whatever it holds, without failing
    }

    void missingStoreLeavesTheListAlone()
    {
        const QString path = m_data.path() + "/kept.ini";
        QVERIFY(writeResinProfiles(path, {profile(0, "A", 50), profile(0, "A", 25), profile(0, "B", 50),
                                          profile(1, "A", 100)}));
        ResinProfileManager manager(path);
        QVERIFY(manager.loadProfiles());
        QCOMPARE(manager.materials(0), (QStringList{"A", "B"}));
        QCOMPARE(manager.thicknesses(0, "A"), (QList<int>{50, 25}));
        QCOMPARE(manager.find(1, "A", 100), 3);
        QCOMPARE(manager.find(1, "A", 50), -1);

        QVERIFY(QFile::remove(path));
        QString error;
        QVERIFY(!manager.loadProfiles(&error));
        QVERIFY(error.contains("kept.ini"));
        QCOMPARE(manager.profiles().size(), 4);
    }

    void failedStoreKeepsTheOldFile()
    {
        const QString path = m_data.path() + "/store.ini";
        QVERIFY(writeResinProfiles(path, {profile(0, "Old", 50)}));
        QString error;
        QVERIFY(!writeResinProfiles(m_data.path() + "/no/such/folder.ini", {profile(0, "New", 50)}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!writeResinProfiles(m_data.path(), {profile(0, "New", 50)}, &error));   // a folder
        QList<ResinProfile> back;
        QVERIFY(readResinProfiles(path, &back));
        QCOMPARE(back.at(0).ResinName, QString("Old"));
    }

    void exportReplacesTheFileAndAppendsTheNote()
    {
        const QString path = m_data.path() + "/exchange.prf";
        QVERIFY(exportResinProfiles(path, {profile(0, "A", 50), profile(0, "B", 50), profile(0, "C", 50)}, ""));
        ResinProfile one = profile(1, "D", 25);
        one.Note = "fast";
        QVERIFY(exportResinProfiles(path, {one}, " (from lab 2)"));
        QList<ResinProfile> back;
        QVERIFY(readResinProfiles(path, &back));
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].ResinName, QString("D"));
        QCOMPARE(back[0].Note, QString("fast (from lab 2)"));
    }

    void firstStartInstallsUsableDefaults()
    {
        const QString path = resinProfilesPath();
        QCOMPARE(path, m_data.path() + "/profiles.ini");
        QFile::remove(path);
        QString error;
        QVERIFY2(installDefaultResinProfiles(&error), qPrintable(error));
        ResinProfileManager manager;
        QVERIFY(manager.loadProfiles());
        for (int machine = 0; machine < machineModelNames().size(); ++machine) {
            QVERIFY(!manager.materials(machine).isEmpty());
            const int i = manager.find(machine, manager.materials(machine).first(), 50);
            QVERIFY(i >= 0);
            QVERIFY(manager.profiles()[i].NormalExp > 0);
            QVERIFY(manager.profiles()[i].FirstLayerExp > 0);
        }
        // An existing store is the user's: never replaced.
        QVERIFY(writeResinProfiles(path, {profile(0, "Mine", 50)}));
        QVERIFY(installDefaultResinProfiles());
        QVERIFY(manager.loadProfiles());
        QCOMPARE(manager.profiles().size(), 1);
    }
};

QTEST_GUILESS_MAIN(ResinProfileTest)
#include "tst_resinprofile.moc"
