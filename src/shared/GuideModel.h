#pragma once
#include "shared/Envelope.h"

#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Payload of the guide reply: eight required lists of texts.
struct PurpleData {
    std::vector<QString> leftPanel;
    std::vector<QString> leftPanelUrl;
    std::vector<QString> window;
    std::vector<QString> windowUrl;
    std::vector<QString> browser;
    std::vector<QString> browserUrl;
    std::vector<QString> newFeature;
    std::vector<QString> newFeatureUrl;

    static std::optional<PurpleData> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

using GuideResponse = Envelope<PurpleData>;

// Pairs of decoded picture and the address it opens, in the order of the reply (the guide
// shows its pages in that order). Each decoded picture is its own entry, so equal pictures
// never replace each other.
using ImageUrlMap = std::vector<std::pair<QImage, QUrl>>;

// The current guide: the reply it was built from and its two picture-to-address maps.
class GuideModel {
public:
    explicit GuideModel(GuideResponse response) : guideResponse_(std::move(response)) {}

    // Rebuilds both maps from the reply; undecodable pairs are skipped.
    void decodeGuideImages();

    const ImageUrlMap& leftPanel() const { return leftPanel_; }
    const ImageUrlMap& newFeature() const { return newFeature_; }
    const GuideResponse& guideResponse() const { return guideResponse_; }

    // One image text: the Base64 after the last comma, decoded strictly, read as a picture.
    static std::optional<QImage> decodeImage(const QString& text);

private:
    GuideResponse guideResponse_;
    ImageUrlMap leftPanel_;
    ImageUrlMap newFeature_;
};

using GuideModelPtr = std::shared_ptr<GuideModel>;
