#include "ui/ImageFormatPrefetch.h"

#include <QImageReader>

std::future<void> PrefetchImageFormats() {
    return std::async(std::launch::async, [] { QImageReader::supportedImageFormats(); });
}
