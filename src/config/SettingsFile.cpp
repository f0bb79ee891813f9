#include "config/SettingsFile.h"

#include "config/DataFolder.h"
#include "config/IniFile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <cfloat>
#include <climits>
#include <cmath>
#include <new>

namespace {

// A settings file is a few kilobytes; anything far larger is not one and is not loaded whole.
constexpr qint64 maxSettingsFileBytes = 16 * 1024 * 1024;

const char *const builtInBuildPlate = ":/BuildPlate_SAv1.STL";

// ---------------------------------------------------------------------------------------------
// Reading: every value is taken as text and converted here rather than through QVariant, so
// that broken values read as 0 / false / empty ("abc" would otherwise be true, "45.5" would be
// 0 as an int, "nan" would pass as a number).

class GroupReader
{
public:
    GroupReader(const IniFile &file, const char *group) : ini(file), name(QLatin1String(group)) {}

    QString text(const QString &key) const { return ini.value(name, key); }

    QString string(const QString &key) const { return text(key); }

    double real(const QString &key) const
    {
        bool ok = false;
        const double d = text(key).trimmed().toDouble(&ok);
        return ok && std::isfinite(d) ? d : 0.0;
    }

    float realF(const QString &key) const
    {
        const double d = real(key);
        return std::fabs(d) <= double(FLT_MAX) ? float(d) : 0.0f;
    }

    // Integers stored as doubles lose their fractional part.
    int integer(const QString &key) const
    {
        const QString t = text(key).trimmed();
        bool ok = false;
        const int i = t.toInt(&ok);
        if (ok)
            return i;
        const double d = t.toDouble(&ok);
        if (ok && std::isfinite(d) && d > double(INT_MIN) - 1.0 && d < double(INT_MAX) + 1.0)
            return int(d);
        return 0;
    }

    bool boolean(const QString &key) const
    {
        const QString t = text(key).trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const double d = t.toDouble(&ok);
        return ok && d != 0.0;
    }

    // A stored entry count, limited to what the group can hold: a broken count must not make
    // the reader loop (or allocate) for billions of entries.
    int count(const QString &key) const
    {
        return qBound(0, integer(key), ini.childKeys(name).size());
    }

private:
    const IniFile &ini;
    QString name;
};

QString key(const char *pattern, int index)
{
    return QString::fromLatin1(pattern).arg(index);
}

void readMisc(const IniFile &s, MiscSettings &m, ModelSettings &models)
{
    {
        GroupReader g(s, "Misc");
        m.modelViewResponse = float(g.integer(QStringLiteral("ModelViewResponse"))) / 100.0f;
        m.slicingQualityFactor = g.realF(QStringLiteral("SlicingQualityFactor"));
        m.lastFileLocation = g.string(QStringLiteral("LastFileLocation"));
        m.windowWidth = qMax(g.integer(QStringLiteral("WindowWidth")), 960);
        m.windowHeight = qMax(g.integer(QStringLiteral("WindowHeight")), 600);
        m.windowFullScreen = g.boolean(QStringLiteral("WindowFullScreen"));
        m.language = g.string(QStringLiteral("Language"));
        m.gpuIdleTime = g.integer(QStringLiteral("GPUIdleTime"));
        // A negative pause is as unusable as none.
        if (m.gpuIdleTime <= 0)
            m.gpuIdleTime = 16667;
        m.wheelZoomDir = g.boolean(QStringLiteral("WheelZoomDir"));
        m.zoomCenterMoving = g.boolean(QStringLiteral("ZoomCenterMoving"));
        m.orthographicalProjection = g.boolean(QStringLiteral("OrthographicalProjection"));
    }
    {
        // Stored with the models although they are read here.
        GroupReader g(s, "Models");
        models.drainHoleDiameterMm = g.real(QStringLiteral("DrainHoleDiameter"));
        if (models.drainHoleDiameterMm <= 0.5)
            models.drainHoleDiameterMm = 2.0;
        models.drainHoleHeightMm = g.real(QStringLiteral("DrainHoleHeight"));
        if (models.drainHoleHeightMm <= 1.0)
            models.drainHoleHeightMm = 4.0;
    }
    GroupReader g(s, "Misc");
    m.pixelGrayscaleUpdate = g.boolean(QStringLiteral("PixelGrayscaleUpdate"));
    m.updateFeedUrl = g.string(QStringLiteral("UpdateFeedUrl")).trimmed();
}

void readModels(const IniFile &s, ModelSettings &m)
{
    GroupReader g(s, "Models");
    m.platformStlFileName = g.string(QStringLiteral("PlatformStlFileName"));
    m.listOnlyModels = g.boolean(QStringLiteral("ListOnlyModels"));
    m.modelScaleLock = g.boolean(QStringLiteral("ModelScaleLock"));
}

void readSupport(const IniFile &s, SupportSettings &su)
{
    {
        GroupReader g(s, "Support");
        su.criticalAngleDeg = g.integer(QStringLiteral("CriticalAngle"));
        su.thresholdAngleDeg = g.integer(QStringLiteral("ThresholdAngle"));
        su.pitchMm = float(g.integer(QStringLiteral("Pitch"))) / 1000.0f;
        su.contactDiaMm = g.realF(QStringLiteral("ContactDia"));
        su.tipAngleTopDeg = g.integer(QStringLiteral("TipAngleTop"));
        su.tipAngleBotDeg = g.integer(QStringLiteral("TipAngleBot"));
        su.tipLengthMm = g.realF(QStringLiteral("TipLength"));
        su.inter2DiaMm = g.realF(QStringLiteral("Inter2Dia"));
        su.inter1DiaMm = g.realF(QStringLiteral("Inter1Dia"));
        su.baseThicknessMm = g.realF(QStringLiteral("BaseThickness"));
        su.baseMarginMm = g.realF(QStringLiteral("BaseMargin"));
        su.thinTip = g.boolean(QStringLiteral("ThinTip"));
        su.supportPreview = g.boolean(QStringLiteral("SupportPreview"));
        su.linkerDistanceMm = g.integer(QStringLiteral("LinkerDistance"));
        su.penetrationDistanceMm = g.real(QStringLiteral("PenetrationDistance"));
        su.supportSurfaceNormalDeg = g.integer(QStringLiteral("SupportSurfaceNormal"));
    }
    if (su.baseThicknessMm == 0.0f)
        su.baseThicknessMm = 0.6f;
    if (su.baseMarginMm == 0.0f)
        su.baseMarginMm = 1.0f;
    qDebug() << "Read support settings... done";
}

void readSlice(const IniFile &s, SliceSettings &sl)
{
    GroupReader g(s, "Slice");
    sl.sliceThicknessUm = g.integer(QStringLiteral("SliceThickness"));
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        sl.variStepAngleDeg[size_t(i)] = g.integer(key("VariStepAngle%1", i));
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        sl.variStepUm[size_t(i)] = g.integer(key("VariStep%1", i));
    sl.variStepMaxUm = g.integer(QStringLiteral("VariStepMax"));
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        sl.variStepRelExp[size_t(i)] = g.realF(key("VariStepRelExp%1", i));
    sl.sliceOnDisk = g.boolean(QStringLiteral("SliceOnDisk"));
    sl.subPixelSlicingIntensity = g.integer(QStringLiteral("SubPixelSlicingIntensity"));
    sl.bottomSliceThicknessUm = g.integer(QStringLiteral("BottomSliceThickness"));
    sl.bottomSliceHeightMm = float(g.integer(QStringLiteral("BottomSliceHeight"))) / 1000.0f;
    sl.sliceScaleXPercent = g.real(QStringLiteral("SliceScaleX"));
    sl.sliceScaleYPercent = g.real(QStringLiteral("SliceScaleY"));
    sl.sliceScaleZPercent = g.real(QStringLiteral("SliceScaleZ"));
    sl.lastUsedMaterial = g.string(QStringLiteral("LastUsedMaterial"));
    sl.lastUsedSliceThicknessUm = g.integer(QStringLiteral("LastUsedSliceThickness"));

    const int n = g.count(QStringLiteral("NumberOfFlexSlices"));
    sl.flexSlices.clear();
    sl.flexSlices.reserve(n);
    for (int i = 0; i < n; ++i) {
        FlexSliceEntry f;
        f.title = g.string(key("FlexSlice%1Title", i));
        f.fromMm = g.real(key("FlexSlice%1From", i));
        f.toMm = g.real(key("FlexSlice%1To", i));
        f.thicknessUm = g.integer(key("FlexSlice%1Thickness", i));
        f.expRatioPercent = g.integer(key("FlexSlice%1ExpRatio", i));
        f.enabled = g.boolean(key("FlexSlice%1Enable", i));
        sl.flexSlices.append(f);
    }
    qDebug() << "Read slice settings... done";
}

void readPrinter(const IniFile &s, PrinterSettings &p)
{
    GroupReader g(s, "Printer");
    p.stepperLimitXMm = g.integer(QStringLiteral("StepperLimitX"));
    p.stepperLimitYMm = g.integer(QStringLiteral("StepperLimitY"));
    p.stepperLimitZMm = g.integer(QStringLiteral("StepperLimitZ"));
    p.printerId = g.integer(QStringLiteral("PrinterId"));

    const int n = g.count(QStringLiteral("NumberOfPrinters"));
    p.printers.clear();
    p.printers.reserve(n);
    for (int i = 0; i < n; ++i) {
        PrinterEntry e;
        e.name = g.string(key("Printer%1Name", i));
        e.address = g.string(key("Printer%1Address", i));
        p.printers.append(e);
    }

    p.displayOverride = g.boolean(QStringLiteral("DisplayOverride"));
    p.displayOverrideXPx = g.integer(QStringLiteral("DisplayOverrideX"));
    p.displayOverrideYPx = g.integer(QStringLiteral("DisplayOverrideY"));
    p.pixelSizeXUm = g.realF(QStringLiteral("PixelSizeX"));
    p.pixelSizeYUm = g.realF(QStringLiteral("PixelSizeY"));
    p.pixelSizeLinkCheck = g.boolean(QStringLiteral("PiexlSizeLinkCheck"));
    qDebug() << "Read printer settings... done";
}

void readPrint(const IniFile &s, PrintSettings &pr)
{
    {
        GroupReader g(s, "Print");
        pr.exposureMultiplier = g.real(QStringLiteral("ExposureMultiplier"));
        pr.holdTimePreLift = g.real(QStringLiteral("HoldTimePreLift"));
        pr.holdTimePreDown = g.real(QStringLiteral("HoldTimePreDown"));
        pr.holdTimePreExp = g.real(QStringLiteral("HoldTimePreExp"));
        pr.horiAntiAliasing = g.integer(QStringLiteral("HoriAntiAliasing"));
        pr.grayScale = g.integer(QStringLiteral("GrayScale"));
        if (pr.grayScale < 127)
            pr.grayScale = 255;
        pr.dimmingEnable = g.boolean(QStringLiteral("DimmingEnable"));
        pr.dimmingWidthMm = g.real(QStringLiteral("DimmingWidth"));
        pr.dimmingRatioPercent = g.integer(QStringLiteral("DimmingRatio"));
        pr.dimmingStart = g.integer(QStringLiteral("DimmingStart"));
        pr.verticalMirror = g.boolean(QStringLiteral("VerticalMirror"));
        pr.horizontalMirror = g.boolean(QStringLiteral("HorizontalMirror"));
    }
    if (!pr.channelRed && !pr.channelGreen && !pr.channelBlue)
        pr.channelRed = pr.channelGreen = pr.channelBlue = true;
}

// ---------------------------------------------------------------------------------------------
// Writing: the text QSettings (IniFormat, no codec) would produce for the same values, with
// the groups and keys in this program's order.

// Integers derived from floating-point values (µm from mm, ×100): rounded, not truncated, so
// that reading and writing again does not drift (2.3 mm is 2299.99995 µm as a float).
int storedInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return int(std::lround(v));
}

QByteArray doubleText(double v)
{
    if (!std::isfinite(v))
        v = 0.0;
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toLatin1();
}

// The shortest decimal that reads back as the same float: 0.55f is written "0.55", as the
// spin box that set it showed, not "0.550000011920929".
QByteArray floatText(float f)
{
    if (!std::isfinite(f))
        f = 0.0f;
    for (int digits = 1; digits <= 9; ++digits) {
        const double shown = QString::number(double(f), 'g', digits).toDouble();
        if (float(shown) == f)
            return doubleText(shown);
    }
    return doubleText(double(f));
}

// Qt's INI escaping of a string value (QSettings without a codec): control characters and
// everything beyond ASCII as \x escapes, quotes around values with separators or outer spaces,
// a leading "@" doubled so the value is not taken for a typed one.
QByteArray stringText(const QString &value)
{
    const QString str = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    QByteArray result;
    result.reserve(str.size() * 3 / 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const QChar qc : str) {
        const uint ch = qc.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit
            && ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0': result += "\\0"; escapeNextIfDigit = true; break;
        case '\a': result += "\\a"; break;
        case '\b': result += "\\b"; break;
        case '\f': result += "\\f"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\v': result += "\\v"; break;
        case '"':
        case '\\':
            result += '\\';
            result += char(ch);
            break;
        default:
            if (ch <= 0x1F || ch >= 0x7F) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                result += char(ch);
            }
        }
    }
    if (needsQuotes || result.startsWith(' ') || result.endsWith(' ')) {
        result.prepend('"');
        result.append('"');
    }
    return result;
}

class IniWriter
{
public:
    void group(const char *name)
    {
        if (!text.isEmpty())
            text += '\n';
        text += '[';
        text += name;
        text += "]\n";
    }
    void putInt(const QString &key, int v) { put(key, QByteArray::number(v)); }
    void putBool(const QString &key, bool v) { put(key, v ? "true" : "false"); }
    void putDouble(const QString &key, double v) { put(key, doubleText(v)); }
    void putFloat(const QString &key, float v) { put(key, floatText(v)); }
    void putString(const QString &key, const QString &v) { put(key, stringText(v)); }

    QByteArray text;

private:
    void put(const QString &key, const QByteArray &value)
    {
        text += key.toLatin1();
        text += '=';
        text += value;
        text += '\n';
    }
};

} // namespace

QString defaultSettingsFilePath()
{
    return dataFolder() + QLatin1Char('/') + QLatin1String(defaultSettingsFileName);
}

QStringList settingsFileCandidates(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    return QDir(folder).entryList({QStringLiteral("setting*.ini")}, QDir::Files, QDir::Name);
}

EnvironmentSettings settingsFromText(const QByteArray &text, const QString &what)
{
    // Our own reader: QSettings would decode "@Variant(…)" values while parsing, and a
    // broken one there ends the program.
    const IniFile ini(text);
    if (!what.isEmpty())
        logIniProblems(what, ini);
    EnvironmentSettings read;
    readMisc(ini, read.misc, read.models);
    readModels(ini, read.models);
    readSupport(ini, read.support);
    readSlice(ini, read.slice);
    readPrinter(ini, read.printer);
    readPrint(ini, read.print);
    return read;
}

bool readSettingsFile(const QString &path, EnvironmentSettings &settings, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return fail(QStringLiteral("Settings file %1 does not exist.").arg(path));
    if (!info.isFile())
        return fail(QStringLiteral("Settings file %1 is not a file.").arg(path));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read settings file %1: %2").arg(path, in.errorString()));
    const QByteArray bytes = in.read(maxSettingsFileBytes + 1);
    if (bytes.size() > maxSettingsFileBytes)
        return fail(QStringLiteral("Settings file %1 is too large to be a settings file.").arg(path));
    in.close();

    EnvironmentSettings read;
    try {
        read = settingsFromText(bytes, QStringLiteral("Settings file ") + path);
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("Not enough memory to read the settings file %1.").arg(path));
    }
    settings = read;
    qDebug().noquote() << "Environment setting read from" << path;
    return true;
}

QByteArray settingsFileText(const EnvironmentSettings &settings)
{
    IniWriter w;

    const ModelSettings &mo = settings.models;
    w.group("Models");
    w.putString(QStringLiteral("PlatformStlFileName"), mo.platformStlFileName);
    w.putBool(QStringLiteral("ListOnlyModels"), mo.listOnlyModels);
    w.putBool(QStringLiteral("ModelScaleLock"), mo.modelScaleLock);
    w.putDouble(QStringLiteral("DrainHoleDiameter"), mo.drainHoleDiameterMm);
    w.putDouble(QStringLiteral("DrainHoleHeight"), mo.drainHoleHeightMm);

    const SupportSettings &su = settings.support;
    w.group("Support");
    w.putInt(QStringLiteral("CriticalAngle"), su.criticalAngleDeg);
    w.putInt(QStringLiteral("ThresholdAngle"), su.thresholdAngleDeg);
    w.putInt(QStringLiteral("Pitch"), storedInt(double(su.pitchMm) * 1000.0));
    w.putFloat(QStringLiteral("ContactDia"), su.contactDiaMm);
    w.putInt(QStringLiteral("TipAngleTop"), su.tipAngleTopDeg);
    w.putInt(QStringLiteral("TipAngleBot"), su.tipAngleBotDeg);
    w.putFloat(QStringLiteral("TipLength"), su.tipLengthMm);
    w.putFloat(QStringLiteral("Inter2Dia"), su.inter2DiaMm);
    w.putFloat(QStringLiteral("Inter1Dia"), su.inter1DiaMm);
    w.putFloat(QStringLiteral("BaseThickness"), su.baseThicknessMm);
    w.putFloat(QStringLiteral("BaseMargin"), su.baseMarginMm);
    w.putBool(QStringLiteral("ThinTip"), su.thinTip);
    w.putBool(QStringLiteral("SupportPreview"), su.supportPreview);
    w.putInt(QStringLiteral("LinkerDistance"), su.linkerDistanceMm);
    w.putDouble(QStringLiteral("PenetrationDistance"), su.penetrationDistanceMm);
    w.putInt(QStringLiteral("SupportSurfaceNormal"), su.supportSurfaceNormalDeg);

    const SliceSettings &sl = settings.slice;
    w.group("Slice");
    w.putInt(QStringLiteral("SliceThickness"), sl.sliceThicknessUm);
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        w.putInt(key("VariStepAngle%1", i), sl.variStepAngleDeg[size_t(i)]);
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        w.putInt(key("VariStep%1", i), sl.variStepUm[size_t(i)]);
    w.putInt(QStringLiteral("VariStepMax"), sl.variStepMaxUm);
    for (int i = 0; i < SliceSettings::variStepRows; ++i)
        w.putFloat(key("VariStepRelExp%1", i), sl.variStepRelExp[size_t(i)]);
    w.putBool(QStringLiteral("SliceOnDisk"), sl.sliceOnDisk);
    w.putInt(QStringLiteral("SubPixelSlicingIntensity"), sl.subPixelSlicingIntensity);
    w.putInt(QStringLiteral("BottomSliceThickness"), sl.bottomSliceThicknessUm);
    w.putInt(QStringLiteral("BottomSliceHeight"), storedInt(double(sl.bottomSliceHeightMm) * 1000.0));
    w.putDouble(QStringLiteral("SliceScaleX"), sl.sliceScaleXPercent);
    w.putDouble(QStringLiteral("SliceScaleY"), sl.sliceScaleYPercent);
    w.putDouble(QStringLiteral("SliceScaleZ"), sl.sliceScaleZPercent);
    w.putString(QStringLiteral("LastUsedMaterial"), sl.lastUsedMaterial);
    w.putInt(QStringLiteral("LastUsedSliceThickness"), sl.lastUsedSliceThicknessUm);
    w.putInt(QStringLiteral("NumberOfFlexSlices"), sl.flexSlices.size());
    for (int i = 0; i < sl.flexSlices.size(); ++i) {
        const FlexSliceEntry &f = sl.flexSlices.at(i);
        w.putString(key("FlexSlice%1Title", i), f.title);
        w.putDouble(key("FlexSlice%1From", i), f.fromMm);
        w.putDouble(key("FlexSlice%1To", i), f.toMm);
        w.putInt(key("FlexSlice%1Thickness", i), f.thicknessUm);
        w.putInt(key("FlexSlice%1ExpRatio", i), f.expRatioPercent);
        w.putBool(key("FlexSlice%1Enable", i), f.enabled);
    }

    const PrinterSettings &p = settings.printer;
    w.group("Printer");
    w.putInt(QStringLiteral("StepperLimitX"), p.stepperLimitXMm);
    w.putInt(QStringLiteral("StepperLimitY"), p.stepperLimitYMm);
    w.putInt(QStringLiteral("StepperLimitZ"), p.stepperLimitZMm);
    w.putInt(QStringLiteral("PrinterId"), p.printerId);
    w.putInt(QStringLiteral("NumberOfPrinters"), p.printers.size());
    for (int i = 0; i < p.printers.size(); ++i) {
        w.putString(key("Printer%1Name", i), p.printers.at(i).name);
        w.putString(key("Printer%1Address", i), p.printers.at(i).address);
    }
    w.putBool(QStringLiteral("DisplayOverride"), p.displayOverride);
    w.putInt(QStringLiteral("DisplayOverrideX"), p.displayOverrideXPx);
    w.putInt(QStringLiteral("DisplayOverrideY"), p.displayOverrideYPx);
    w.putFloat(QStringLiteral("PixelSizeX"), p.pixelSizeXUm);
    w.putFloat(QStringLiteral("PixelSizeY"), p.pixelSizeYUm);
    w.putBool(QStringLiteral("PiexlSizeLinkCheck"), p.pixelSizeLinkCheck);

    const PrintSettings &pr = settings.print;
    w.group("Print");
    w.putDouble(QStringLiteral("ExposureMultiplier"), pr.exposureMultiplier);
    w.putDouble(QStringLiteral("HoldTimePreLift"), pr.holdTimePreLift);
    w.putDouble(QStringLiteral("HoldTimePreDown"), pr.holdTimePreDown);
    w.putDouble(QStringLiteral("HoldTimePreExp"), pr.holdTimePreExp);
    w.putInt(QStringLiteral("HoriAntiAliasing"), pr.horiAntiAliasing);
    w.putInt(QStringLiteral("GrayScale"), pr.grayScale);
    w.putBool(QStringLiteral("DimmingEnable"), pr.dimmingEnable);
    w.putDouble(QStringLiteral("DimmingWidth"), pr.dimmingWidthMm);
    w.putInt(QStringLiteral("DimmingRatio"), pr.dimmingRatioPercent);
    w.putInt(QStringLiteral("DimmingStart"), pr.dimmingStart);
    w.putBool(QStringLiteral("VerticalMirror"), pr.verticalMirror);
    w.putBool(QStringLiteral("HorizontalMirror"), pr.horizontalMirror);

    const MiscSettings &m = settings.misc;
    w.group("Misc");
    w.putInt(QStringLiteral("ModelViewResponse"), storedInt(double(m.modelViewResponse) * 100.0));
    w.putFloat(QStringLiteral("SlicingQualityFactor"), m.slicingQualityFactor);
    w.putString(QStringLiteral("LastFileLocation"), m.lastFileLocation);
    w.putInt(QStringLiteral("WindowWidth"), m.windowWidth);
    w.putInt(QStringLiteral("WindowHeight"), m.windowHeight);
    w.putBool(QStringLiteral("WindowFullScreen"), m.windowFullScreen);
    w.putString(QStringLiteral("Language"), m.language);
    w.putInt(QStringLiteral("GPUIdleTime"), m.gpuIdleTime);
    w.putBool(QStringLiteral("WheelZoomDir"), m.wheelZoomDir);
    w.putBool(QStringLiteral("ZoomCenterMoving"), m.zoomCenterMoving);
    w.putBool(QStringLiteral("OrthographicalProjection"), m.orthographicalProjection);
    w.putBool(QStringLiteral("PixelGrayscaleUpdate"), m.pixelGrayscaleUpdate);
    if (!m.updateFeedUrl.isEmpty())
        w.putString(QStringLiteral("UpdateFeedUrl"), m.updateFeedUrl);

    return w.text;
}

bool writeSettingsFile(const QString &path, const EnvironmentSettings &settings, QString *error)
{
    const QString target = path.isEmpty() ? defaultSettingsFilePath() : path;
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };

    const QFileInfo info(target);
    if (info.isDir())
        return fail(QStringLiteral("Cannot save settings to %1: it is a folder.").arg(target));
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("Cannot save settings to %1: the folder %2 cannot be created.")
                        .arg(target, info.absolutePath()));

    // The old file is replaced only once the new one is complete on disk.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot save settings to %1: %2").arg(target, file.errorString()));
    const QByteArray text = settingsFileText(settings);
    // The explicit flush matters: commit() alone ignores a buffered write that the disk
    // refused (full disk, size limit) and would put a truncated file in place.
    if (file.write(text) != text.size() || !file.flush()) {
        const QString why = file.error() == QFileDevice::NoError
                                ? QStringLiteral("the disk did not take the whole file")
                                : file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("Cannot save settings to %1: %2").arg(target, why));
    }
    if (!file.commit())
        return fail(QStringLiteral("Cannot save settings to %1: %2").arg(target, file.errorString()));

    qDebug().noquote() << "Environment setting saved to" << target;
    return true;
}

QString buildPlateModelPath(const ModelSettings &models)
{
    const QFileInfo info(models.platformStlFileName);
    if (!models.platformStlFileName.isEmpty() && info.isFile() && info.isReadable())
        return models.platformStlFileName;
    return QString::fromLatin1(builtInBuildPlate);
}
