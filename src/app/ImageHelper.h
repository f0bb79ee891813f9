#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

class HollowingStack;
class QProgressDialog;
class QWidget;

// The window's slice image worker: hollows a list of slice images one layer per slot call,
// so its progress dialog and its cancel stay live. The work itself is HollowingStack's.
//
//   connect(helper, &imageHelper::signalFinishHollowing, …);
//   helper->hollowList(slices, wallPx, wallLayers);
class imageHelper : public QObject
{
    Q_OBJECT
public:
    explicit imageHelper(QWidget *dialogParent = nullptr);
    ~imageHelper() override;

    bool isHollowing() const { return m_running; }

signals:
    void signalErodeLayer(int num);
    void signalFinishHollowing(QList<QPixmap> sliceList);
    void updateLogWindow(QString s);

public slots:
    void onErodeLayer(int num);
    void hollowList(QList<QPixmap> sliceList, int wtPx, int wtz, bool bCap = true, bool pilEnable = false,
                    float pilRadius = 0.5, float pilPitch = 2.0);
    void onHollowingCancel();

private:
    void stop();

    QPointer<QWidget> m_dialogParent;
    QList<QPixmap> m_input;
    std::vector<cv::Mat> m_greyInput;
    QList<QPixmap> m_result;
    std::unique_ptr<HollowingStack> m_stack;
    int m_wallPx = 0;
    int m_next = 0;   // the layer the chain asks for next; a call left from an earlier run is ignored
    bool m_cancel = false;
    bool m_running = false;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_progress;
};
