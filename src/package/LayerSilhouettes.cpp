#include "package/LayerSilhouettes.h"

#include "imaging/ImageOps.h"
#include "imaging/QtImage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Rows grow in blocks, so a long run does not copy its side views at every layer.
void appendRow(cv::Mat &rows, int used, const cv::Mat &row)
{
    if (used >= rows.rows) {
        cv::Mat bigger = cv::Mat::zeros(std::max(64, rows.rows * 2), row.cols, CV_8UC1);
        if (used > 0)
            rows.rowRange(0, used).copyTo(bigger.rowRange(0, used));
        rows = bigger;
    }
    row.copyTo(rows.row(used));
}

QImage fitted(const cv::Mat &m, double width, double height, int maxEdge)
{
    const double scale = std::min(maxEdge / width, maxEdge / height);
    const cv::Size size(std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))));
    cv::Mat out;
    cv::resize(m, out, size, 0, 0, cv::INTER_AREA);
    return imageFromMat(out);
}

} // namespace

void LayerSilhouettes::addLayer(const cv::Mat &layer)
{
    if (layer.empty())
        return;
    const cv::Mat grey = layer.type() == CV_8UC1 ? layer : toGrey(layer);
    if (m_top.empty())
        m_top = grey.clone();
    else if (grey.size() == m_top.size())
        cv::max(m_top, grey, m_top);
    else
        return;
    // The maxima over columns and rows in one pass; cv::reduce takes ten times as long here.
    cv::Mat column = cv::Mat::zeros(1, grey.cols, CV_8UC1);   // 1 × width
    cv::Mat row(1, grey.rows, CV_8UC1);                         // the height × 1 maxima, laid down
    uchar *colMax = column.ptr<uchar>(0);
    for (int y = 0; y < grey.rows; ++y) {
        const uchar *p = grey.ptr<uchar>(y);
        uchar m = 0;
        for (int x = 0; x < grey.cols; ++x) {
            colMax[x] = std::max(colMax[x], p[x]);
            m = std::max(m, p[x]);
        }
        row.at<uchar>(0, y) = m;
    }
    appendRow(m_front, m_rows, column);
    appendRow(m_side, m_rows, row);
    ++m_rows;
}

QList<QImage> LayerSilhouettes::previews(double heightMm, double pixelSizeXUm, double pixelSizeYUm, int maxEdge) const
{
    if (m_rows == 0 || !(pixelSizeXUm > 0) || !(pixelSizeYUm > 0) || maxEdge < 1)
        return {};
    const double widthMm = m_top.cols * pixelSizeXUm / 1000.0;
    const double depthMm = m_top.rows * pixelSizeYUm / 1000.0;
    const double tallMm = heightMm > 0 ? heightMm : 1.0;

    cv::Mat top;
    cv::flip(m_top, top, 0);                                   // the back of the plate at the top
    cv::Mat front;
    cv::flip(m_front.rowRange(0, m_rows), front, 0);           // the first layer at the bottom
    cv::Mat left;
    cv::flip(m_side.rowRange(0, m_rows), left, -1);            // from the left the back is on the left
    cv::Mat right;
    cv::flip(m_side.rowRange(0, m_rows), right, 0);            // from the right the front is on the left
    return {fitted(top, widthMm, depthMm, maxEdge), fitted(front, widthMm, tallMm, maxEdge),
            fitted(left, depthMm, tallMm, maxEdge), fitted(right, depthMm, tallMm, maxEdge)};
}
