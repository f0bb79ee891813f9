#include "app/ImageHelper.h"

#include <QProgressDialog>

#include "imaging/Hollowing.h"
#include "imaging/QtImage.h"

imageHelper::imageHelper(QWidget *dialogParent) : QObject(dialogParent), m_dialogParent(dialogParent)
{
    // Queued: each layer's call returns to the event loop before the next one runs.
    connect(this, &imageHelper::signalErodeLayer, this, &imageHelper::onErodeLayer,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

imageHelper::~imageHelper()
{
    delete m_progress;
}

void imageHelper::hollowList(QList<QPixmap> sliceList, int wtPx, int wtz, bool bCap, bool pilEnable, float pilRadius,
                             float pilPitch)
{
    m_clock.start();
    m_cancel = false;
    m_input = sliceList;
    m_result = sliceList;
    m_greyInput.clear();
    m_stack.reset();
    m_running = false;
    if (sliceList.isEmpty())
        return;
    HollowingSettings s;
    s.wallPx = std::max(0, wtPx);
    s.wallLayers = std::max(0, wtz);
    s.capBottom = bCap;
    s.pillars = pilEnable;
    s.pillarRadiusPx = pilRadius;
    s.pillarPitchPx = pilPitch;
    m_wallPx = s.wallPx;
    const QSize size = sliceList.first().size();
    m_stack = std::make_unique<HollowingStack>(s, cv::Size(size.width(), size.height()));
    m_greyInput.resize(std::size_t(sliceList.size()));

    delete m_progress;
    m_progress = new QProgressDialog(tr("Hollowing layers..."), tr("Abort Hollowing"), 0, sliceList.size(), m_dialogParent);
    m_progress->setWindowTitle(QStringLiteral("Lumacore"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, &imageHelper::onHollowingCancel);
    m_running = true;
    m_next = 0;
    emit signalErodeLayer(0);
}

void imageHelper::onErodeLayer(int num)
{
    if (!m_running || !m_stack || num != m_next || num >= m_input.size())
        return;
    ++m_next;
    if (m_cancel) {
        stop();
        return;
    }
    cv::Mat &grey = m_greyInput[std::size_t(num)];
    grey = greyMatFromImage(m_input[num].toImage());
    const LayerStackStage::Change change = m_stack->push(num, erodeLayer(grey, m_wallPx));
    if (m_progress)
        m_progress->setValue(num);
    if (change.layerIndex >= 0) {
        const std::size_t k = std::size_t(change.layerIndex);
        if (!change.dark.mask.empty()) {
            LayerStackStage::apply(m_greyInput[k], change);
            m_result[change.layerIndex] = QPixmap::fromImage(imageFromMat(m_greyInput[k]));
        }
        m_greyInput[k].release();   // finished: only the window's layers stay in memory
    }
    if (num + 1 < m_input.size()) {
        emit signalErodeLayer(num + 1);
        return;
    }
    if (m_progress)
        m_progress->setValue(m_input.size());
    const QList<QPixmap> result = m_result;
    const double seconds = double(m_clock.elapsed()) / 1000.0;
    stop();
    emit signalFinishHollowing(result);
    emit updateLogWindow(QString::asprintf("Hollowing time: %.1f seconds.", seconds));
}

void imageHelper::onHollowingCancel()
{
    m_cancel = true;
}

void imageHelper::stop()
{
    m_running = false;
    m_stack.reset();
    m_greyInput.clear();
    m_input.clear();
    m_result.clear();
    if (m_progress) {
        m_progress->disconnect(this);
        m_progress->close();
        m_progress->deleteLater();
    }
}
