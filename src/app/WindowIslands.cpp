// What a slicing run found, shown after it: the islands (in the log, marked on the slice tab's
// pictures with a button to the next one, and as markers in the 3D view), the resin the layers
// take and, for a package, the print time.

#include "app/Window.h"

#include <QBoxLayout>
#include <QDebug>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <algorithm>

#include "package/IslandMarks.h"
#include "package/PrintEstimate.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

void Window::setupIslandControls()
{
    // After ">|" in the row of navigation buttons, whose slider makes room for it (a wider
    // row of fields would widen the whole window).
    m_nextIslandButton = new QPushButton(tr("Next island"), this);
    m_nextIslandButton->setObjectName(QStringLiteral("pbSViewNextIsland"));
    QBoxLayout *holder = nullptr;
    QList<QLayout *> open = {ui->pbSViewEnd->parentWidget()->layout()};
    while (!open.isEmpty() && !holder) {
        QLayout *l = open.takeFirst();
        if (!l)
            continue;
        for (int i = 0; i < l->count(); ++i) {
            if (l->itemAt(i)->widget() == ui->pbSViewEnd)
                holder = qobject_cast<QBoxLayout *>(l);
            else if (QLayout *child = l->itemAt(i)->layout())
                open << child;
        }
    }
    if (holder)
        holder->insertWidget(holder->indexOf(ui->pbSViewEnd) + 1, m_nextIslandButton);
    else
        qWarning() << "The slice tab has no row for the next-island button.";
    connect(m_nextIslandButton, &QPushButton::clicked, this, &Window::showNextIsland);
    clearRunAnalysis();
}

void Window::clearRunAnalysis()
{
    sliceIslands.clear();
    sliceResinMl = -1.0;
    m_islandImages.clear();
    if (canvas && !canvas->islandMarkersMm.empty()) {
        canvas->islandMarkersMm.clear();
        canvas->update();
    }
    if (m_nextIslandButton) {
        m_nextIslandButton->setEnabled(false);
        m_nextIslandButton->setToolTip(tr("Islands are found while slicing; the last run has none"));
    }
}

namespace {

// The thickness of the run's last layer: the last step between two heights, else the box's.
double lastThicknessUm(const std::vector<float> &heights, double fallbackUm)
{
    for (std::size_t i = heights.size(); i >= 2; --i) {
        const double step = double(heights[i - 1]) - double(heights[i - 2]);
        if (step > 0)
            return step * 1000.0;
    }
    return fallbackUm;
}

} // namespace

void Window::takeRunAnalysis()
{
    clearRunAnalysis();
    const LayerAnalysis *analysis = canvas->slicer() ? canvas->slicer()->analysis() : nullptr;
    if (!analysis)
        return;
    sliceIslands = analysis->islands();
    sliceResinMl = analysis->resinVolumeMl(lastThicknessUm(sliceHeights, ui->inpSliceThickness->value()));

    QString estimate = tr("Resin: %1").arg(resinVolumeText(sliceResinMl));
    if (const QString time = printTimeText(); !time.isEmpty())
        estimate += tr(", print time: %1").arg(time);
    const QString islands = islandSummary(sliceIslands);
    appendLog(estimate);
    appendLog(islands);
    qInfo().noquote() << estimate << "-" << islands;
    for (const IslandReport &i : sliceIslands)
        appendLog(tr("Island in layer %1 at %2 mm: centre (%3, %4) mm, %5 mm²")
                      .arg(i.layerIndex)
                      .arg(double(i.heightMm), 0, 'f', 3)
                      .arg(i.xMm, 0, 'f', 2)
                      .arg(i.yMm, 0, 'f', 2)
                      .arg(i.areaMm2, 0, 'f', 3));
    ui->statusBar->showMessage(estimate + " \u2014 " + islands);

    // Stored layers follow the printer's mirrors; pictures kept in memory are as rendered.
    m_islandMarksMirrorH = !sliceFileNames.isEmpty() && canvas->postProcess.horizontalMirror;
    m_islandMarksMirrorV = !sliceFileNames.isEmpty() && canvas->postProcess.verticalMirror;
    const std::vector<int> firstImage = firstImageOfLayers(layerCodes);
    const SliceParameters p = canvas->sliceParameters();
    for (const IslandReport &i : sliceIslands) {
        if (i.layerIndex < int(firstImage.size()))
            m_islandImages.push_back(firstImage[std::size_t(i.layerIndex)]);
        // The 3D view works in scene millimetres, before the scale compensation.
        canvas->islandMarkersMm.insert(canvas->islandMarkersMm.end(),
                                       {float(i.xMm / (1.0 + p.sliceScaleXPct / 100.0)),
                                        float(i.yMm / (1.0 + p.sliceScaleYPct / 100.0)),
                                        i.heightMm / p.zScaleFactor()});
    }
    std::sort(m_islandImages.begin(), m_islandImages.end());
    m_islandImages.erase(std::unique(m_islandImages.begin(), m_islandImages.end()), m_islandImages.end());
    canvas->update();
    if (m_nextIslandButton && !m_islandImages.empty()) {
        m_nextIslandButton->setEnabled(true);
        m_nextIslandButton->setToolTip(tr("Show the next layer with an island (%1 in this run)").arg(sliceIslands.size()));
    }
}

QString Window::printTimeText() const
{
    if (sliceExposures.isEmpty() || sliceExposures.size() != sliceLifts.size())
        return QString();
    std::vector<ScheduledImage> schedule;
    for (int i = 0; i < sliceExposures.size(); ++i) {
        ScheduledImage image;
        image.exposureS = sliceExposures.at(i);
        image.lift = sliceLifts.at(i);
        schedule.push_back(image);
    }
    return durationText(printTimeSeconds(schedule, motionSettingsFrom(settings)));
}

void Window::reportPackagePrintTime()
{
    const QString time = printTimeText();
    if (time.isEmpty())
        return;
    const QString text = tr("Print time: %1").arg(time);
    appendLog(text);
    ui->statusBar->showMessage(text);
}

void Window::showNextIsland()
{
    const int next = nextIslandImage(m_islandImages, ui->inpSliceNumber->value());
    if (next >= 0)
        updateSliceView(next);
}

QImage Window::withIslandMarks(const QImage &picture, int imageIndex) const
{
    if (sliceIslands.empty() || picture.isNull())
        return picture;
    const std::vector<int> firstImage = firstImageOfLayers(layerCodes);
    std::vector<QRect> boxes;
    for (const IslandReport &i : sliceIslands) {
        if (i.layerIndex >= int(firstImage.size()) || firstImage[std::size_t(i.layerIndex)] != imageIndex)
            continue;
        const QRect box(i.region.box.x, i.region.box.y, i.region.box.width, i.region.box.height);
        boxes.push_back(mirroredBox(box, picture.size(), m_islandMarksMirrorH, m_islandMarksMirrorV));
    }
    return drawIslandMarks(picture, boxes);
}
