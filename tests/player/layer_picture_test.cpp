// How a layer surface's pictures meet its output's real pixels: never fewer (the compositor would
// enlarge them), never more (drawn for nothing), at whole and fractional scales and turned.
#include "platform/gui/WaylandLayerShell.h"

#include <gtest/gtest.h>

using platform::LayerPicture;

TEST(LayerPicture, HasTheOutputsRealPixels) {
    const struct {
        QSize size, outputSize, outputPixels;
        int outputScale;
        bool viewporter;
        LayerPicture picture;
    } cases[] = {
        {{1024, 768}, {1024, 768}, {1024, 768}, 1, true, {{1024, 768}, 1, false}},
        {{960, 540}, {960, 540}, {1920, 1080}, 2, true, {{1920, 1080}, 2, false}},
        {{1280, 720}, {1280, 720}, {1920, 1080}, 2, true, {{1920, 1080}, 1, true}},   // 1.5, told as 2
        {{1536, 864}, {1536, 864}, {1920, 1080}, 2, true, {{1920, 1080}, 1, true}},   // 1.25
        {{1280, 720}, {1280, 720}, {1920, 1080}, 2, false, {{1280, 720}, 1, false}},  // no viewporter
        {{720, 1280}, {720, 1280}, {1080, 1920}, 2, true, {{1080, 1920}, 1, true}},   // 1.5, turned
        {{768, 1024}, {768, 1024}, {768, 1024}, 1, true, {{768, 1024}, 1, false}},    // turned
        {{960, 540}, {960, 540}, {1920, 1080}, 1, true, {{1920, 1080}, 1, true}},     // no set_buffer_scale
        {{}, {1024, 768}, {1024, 768}, 1, true, {}},
    };
    for (const auto& c : cases) {
        const LayerPicture p = platform::layerPicture(c.size, c.outputSize, c.outputPixels, c.outputScale,
                                                      c.viewporter);
        EXPECT_EQ(p, c.picture) << c.size.width() << "x" << c.size.height() << " on " << c.outputPixels.width() << "x"
                                << c.outputPixels.height() << " -> " << p.pixels.width() << "x" << p.pixels.height()
                                << " scale " << p.bufferScale << (p.viewport ? " viewport" : "");
    }
}
