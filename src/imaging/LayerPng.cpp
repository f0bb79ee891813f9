#include "imaging/LayerPng.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <zlib.h>

#include <cstring>

#include "imaging/RunDeflate.h"

namespace {

void putU32(std::vector<uchar> &out, uint32_t v)
{
    out.push_back(uchar(v >> 24));
    out.push_back(uchar(v >> 16));
    out.push_back(uchar(v >> 8));
    out.push_back(uchar(v));
}

// Appends a chunk whose data already sits at the end of out, after its 8-byte header.
void closeChunk(std::vector<uchar> &out, std::size_t headerAt)
{
    const std::size_t dataLength = out.size() - headerAt - 8;
    const uint32_t length = uint32_t(dataLength);
    out[headerAt] = uchar(length >> 24);
    out[headerAt + 1] = uchar(length >> 16);
    out[headerAt + 2] = uchar(length >> 8);
    out[headerAt + 3] = uchar(length);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data() + headerAt + 4, uInt(dataLength + 4));
    putU32(out, uint32_t(crc));
}

std::size_t openChunk(std::vector<uchar> &out, const char type[4])
{
    const std::size_t at = out.size();
    putU32(out, 0);
    out.insert(out.end(), type, type + 4);
    return at;
}

// The signature and the header chunk of an 8-bit grey or RGB image.
void startPng(std::vector<uchar> &out, int width, int height, int channels)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out.insert(out.end(), signature, signature + 8);
    const std::size_t chunk = openChunk(out, "IHDR");
    putU32(out, uint32_t(width));
    putU32(out, uint32_t(height));
    out.push_back(8);                          // bits per sample
    out.push_back(channels == 1 ? 0 : 2);      // grey or RGB
    out.push_back(0);                          // deflate
    out.push_back(0);                          // adaptive filtering (each row says "none")
    out.push_back(0);                          // no interlace
    closeChunk(out, chunk);
}

} // namespace

std::vector<uchar> encodeLitLayerPng(const LitImage &image)
{
    std::vector<uchar> out;
    if (image.empty() || (image.type != CV_8UC1 && image.type != CV_8UC3))
        return out;
    const cv::Rect whole(0, 0, image.size.width, image.size.height);
    const cv::Rect box = image.box & whole;
    if (!box.empty() && (image.pixels.type() != image.type || image.pixels.size() != image.box.size()))
        return out;
    const std::size_t channels = std::size_t(CV_MAT_CN(image.type));
    const std::size_t rowBytes = std::size_t(image.size.width) * channels;
    startPng(out, image.size.width, image.size.height, int(channels));

    // Each row: its filter byte ("none"), the black bytes left of the box, the box's bytes, the
    // black bytes right of it. Black rows and margins are runs of zeros that merge.
    RunDeflate stream;
    const std::size_t left = std::size_t(box.x) * channels, inside = std::size_t(box.width) * channels;
    const std::size_t right = rowBytes - left - inside;
    stream.add(0, uint64_t(box.empty() ? image.size.height : box.y) * (rowBytes + 1));
    if (!box.empty()) {
        const cv::Point shift = box.tl() - image.box.tl();
        for (int y = 0; y < box.height; ++y) {
            stream.add(0, 1 + left);
            stream.addBytes(image.pixels.ptr(y + shift.y) + std::size_t(shift.x) * channels, inside);
            stream.add(0, right);
        }
        stream.add(0, uint64_t(image.size.height - box.y - box.height) * (rowBytes + 1));
    }
    const std::vector<uint8_t> data = stream.finish();
    const std::size_t chunk = openChunk(out, "IDAT");
    out.insert(out.end(), data.begin(), data.end());
    closeChunk(out, chunk);
    closeChunk(out, openChunk(out, "IEND"));
    return out;
}

std::vector<uchar> encodeLayerPng(const cv::Mat &image)
{
    std::vector<uchar> out;
    if (image.empty() || image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3))
        return out;
    const int channels = image.channels();
    const std::size_t rowBytes = std::size_t(image.cols) * channels;
    // zlib counts in 32 bits; no projector comes near this.
    if ((rowBytes + 1) * std::size_t(image.rows) > (std::size_t(1) << 31))
        return out;

    startPng(out, image.cols, image.rows, channels);
    std::size_t chunk;

    // Layer masks are long runs of 0 and 255 with thin grey edges: unfiltered rows and the
    // run-length strategy compress them as well as the slow settings, at a fraction of the time.
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (deflateInit2(&z, 1, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK)
        return {};
    chunk = openChunk(out, "IDAT");
    std::vector<uchar> row(rowBytes + 1, 0);
    std::size_t written = out.size();
    out.resize(written + deflateBound(&z, uLong((rowBytes + 1) * image.rows)) + 64);
    bool ok = true;
    for (int y = 0; y < image.rows && ok; ++y) {
        std::memcpy(row.data() + 1, image.ptr(y), rowBytes);
        z.next_in = row.data();
        z.avail_in = uInt(row.size());
        const int flush = y + 1 == image.rows ? Z_FINISH : Z_NO_FLUSH;
        do {
            if (out.size() - written < 64)
                out.resize(out.size() * 2);
            z.next_out = out.data() + written;
            z.avail_out = uInt(out.size() - written);
            const int rc = deflate(&z, flush);
            written = out.size() - z.avail_out;
            if (rc == Z_STREAM_ERROR) {
                ok = false;
                break;
            }
            if (rc == Z_STREAM_END)
                break;
        } while (z.avail_in > 0 || (flush == Z_FINISH));
    }
    deflateEnd(&z);
    if (!ok)
        return {};
    out.resize(written);
    closeChunk(out, chunk);
    chunk = openChunk(out, "IEND");
    closeChunk(out, chunk);
    return out;
}

bool writeLayerPng(const cv::Mat &image, const QString &path, QString *error)
{
    const std::vector<uchar> png = encodeLayerPng(image);
    if (png.empty()) {
        if (error)
            *error = QCoreApplication::translate("LayerPng", "The layer image for %1 is empty or of an unknown type.")
                         .arg(QFileInfo(path).fileName());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QCoreApplication::translate("LayerPng", "Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    const qint64 size = static_cast<qint64>(png.size());
    if (file.write(reinterpret_cast<const char *>(png.data()), size) != size || !file.flush()) {
        if (error)
            *error = QCoreApplication::translate("LayerPng", "Cannot write %1: %2").arg(path, file.errorString());
        file.close();
        file.remove();
        return false;
    }
    file.close();
    return true;
}
