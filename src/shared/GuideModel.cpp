#include "shared/GuideModel.h"

#include <QByteArray>

namespace {
using jsonread::field;
using P = PurpleData;
const auto kPurpleData = std::make_tuple(
    field("leftPanel", &P::leftPanel), field("leftPanelUrl", &P::leftPanelUrl), field("window", &P::window),
    field("windowUrl", &P::windowUrl), field("browser", &P::browser), field("browserUrl", &P::browserUrl),
    field("newFeature", &P::newFeature), field("newFeatureUrl", &P::newFeatureUrl));
}  // namespace

std::optional<PurpleData> PurpleData::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kPurpleData);
}

QJsonObject PurpleData::toJsonObject() const {
    return jsonread::writeRecord(*this, kPurpleData);
}

std::optional<QImage> GuideModel::decodeImage(const QString& text) {
    const QStringList pieces = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    const QByteArray base64 = pieces.last().toLatin1();
    // Strict: Qt would accept missing padding, which standard Base64 does not allow.
    if (pieces.last().size() % 4 != 0 || base64.size() != pieces.last().size())
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    QImage image;
    // The reader keeps its default allocation limit: these bytes come from the network.
    if (!image.loadFromData(*decoded))
        return std::nullopt;
    return image;
}

namespace {
ImageUrlMap decodePairs(const std::vector<QString>& images, const std::vector<QString>& urls) {
    ImageUrlMap out;
    const size_t n = std::min(images.size(), urls.size());
    for (size_t i = 0; i < n; ++i) {
        auto image = GuideModel::decodeImage(images[i]);
        if (!image)
            continue;
        const QUrl url(urls[i], QUrl::StrictMode);
        if (url.isEmpty() || !url.isValid())
            continue;
        out.emplace_back(std::move(*image), url);
    }
    return out;
}
}  // namespace

void GuideModel::decodeGuideImages() {
    leftPanel_.clear();
    newFeature_.clear();
    const PurpleData& data = guideResponse_.data;
    leftPanel_ = decodePairs(data.leftPanel, data.leftPanelUrl);
    newFeature_ = decodePairs(data.newFeature, data.newFeatureUrl);
}
