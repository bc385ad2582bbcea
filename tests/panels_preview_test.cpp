// The panel preview and the main panel's item pool, with zask4's identity.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "operator/effect_settings.h"
#include "panels/panel_preview.h"
#include "panels/panels.h"
#include "raster/render_context.h"
#include "standin/gui_control.h"

namespace {

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetGui();
        standin::setLogEcho(false);
        standin::clearLoggedLines();
        setenv("KTHOME", ZASK_SHARED_DIR "/conformance/kthome-a", 1);
        writeDefaultSettings(effectSettings);
        int32_t w, h;
        std::vector<uint8_t> letter;
        std::string error;
        ASSERT_TRUE(standin::readRgbaFile(ZASK_SHARED_DIR "/conformance/preview-cases/letter998.rgba", w, h, letter,
                                          error))
            << error;
        standin::setCatalogueImage("zask_ops", 998, w, h, std::move(letter));
    }
    void TearDown() override {
        releasePreviewResources();
        EXPECT_EQ(standin::guiCounts().openCatalogues, 0u);
        standin::resetGui();
    }
    // A dialog and an image panel for drawPreview to write into.
    void openArea() {
        PanelRequest request{};
        ASSERT_EQ(mreqCreateRequest(&request), 0);
        handle = request;
        previewPanel = mgCreatePanel(request.handle, 0, 0, previewWidth, previewHeight, panelFlagsImage, 0, 0);
    }
    void closeArea() {
        mgRemovePanel(previewPanel);
        previewPanel = 0;
        mreqDeleteRequest(&handle);
    }
    PanelRequest handle{};
};

TEST_F(PreviewTest, ShadingModeSetsTheLightSwitchesAndDepth) {
    const struct {
        int32_t shading;
        double z;
        int32_t flat, pixel;
    } cases[] = {{0, 5.0, 0, 0}, {1, -5.0, 1, 0}, {2, 5.0, 0, 1}, {1, -5.0, 1, 0}, {9, 5.0, 1, 0}, {-1, 5.0, 1, 0}};
    ASSERT_EQ(loadPreviewResources(), 0);
    openArea();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shading);
        effectSettings.shadingMode = c.shading;
        drawPreview();
        EXPECT_EQ(renderContext.lightVector[2], c.z);
        EXPECT_EQ(renderContext.flatLighting, c.flat);
        EXPECT_EQ(renderContext.pixelLighting, c.pixel);
        EXPECT_EQ(renderContext.inPreview, 0);
        EXPECT_EQ(renderContext.fadeLevel, 0.05);
    }
    closeArea();
}

TEST_F(PreviewTest, LightPositionOutsideTheTableKeepsTheLastXAndY) {
    ASSERT_EQ(loadPreviewResources(), 0);
    openArea();
    const struct {
        int32_t position;
        double x, y;
    } cases[] = {{2, 3.6, -2.88}, {9, 3.6, -2.88}, {0, 0.0, 0.0}, {-3, 0.0, 0.0}, {6, -3.6, 2.88}};
    for (const auto& c : cases) {
        effectSettings.lightPosition = c.position;
        drawPreview();
        EXPECT_EQ(renderContext.lightVector[0], c.x) << c.position;
        EXPECT_EQ(renderContext.lightVector[1], c.y) << c.position;
    }
    closeArea();
}

TEST_F(PreviewTest, PictureSizeFollowsMonitorAndVideoMode) {
    const struct {
        int32_t monitor, mode;
        uint16_t height;
    } cases[] = {{1, 0, 160}, {1, 2, 160}, {0, 1, 160}, {3, 0x201, 160}, {0, 0, 143}, {2, 0x100, 143}};
    for (const auto& c : cases) {
        standin::setDefaultMonitor(c.monitor);
        standin::setVideoMode(c.mode);
        ASSERT_EQ(loadPreviewResources(), 0);
        EXPECT_EQ(previewWidth, 200);
        EXPECT_EQ(previewHeight, c.height) << c.monitor << " " << c.mode;
        releasePreviewResources();
    }
}

TEST_F(PreviewTest, NoSceneGivesTheEmptyPicture) {
    for (int32_t thickness : {4, -1}) {
        effectSettings.thickness = thickness;
        ASSERT_EQ(loadPreviewResources(), 0);
        openArea();
        drawPreview();
        const auto images = standin::writtenImages();
        ASSERT_FALSE(images.empty());
        const auto& image = images.back();
        EXPECT_EQ(image.width, 192);
        for (size_t i = 0; i < image.pixels.size(); i += 4) {
            ASSERT_EQ(image.pixels[i + 1], 128);
            ASSERT_EQ(image.pixels[i + 2], 128);
            ASSERT_EQ(image.pixels[i + 3], 16);
        }
        EXPECT_EQ(renderContext.inPreview, 0);
        closeArea();
        releasePreviewResources();
    }
}

TEST_F(PreviewTest, MissingImage998LogsItsLineAndReleaseIsSafeAfterwards) {
    standin::resetGui();  // forgets the letter
    EXPECT_EQ(loadPreviewResources(), -1);
    const auto lines = standin::loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "severity=4 line=2706 source=src\\Zask4 module=0x0BDF0000 message=\" \"");
    releasePreviewResources();
    releasePreviewResources();
    EXPECT_EQ(renderContext.colourBuffer, nullptr);
    EXPECT_EQ(renderContext.coverageBuffer, nullptr);
    EXPECT_EQ(renderContext.worldPoints, nullptr);
    EXPECT_EQ(previewBackground, nullptr);
    EXPECT_EQ(previewTexture, nullptr);
}

TEST_F(PreviewTest, AntialiasingSetsTheSampleTile) {
    const struct {
        int32_t setting;
        int32_t factor;
        bool tile;
    } cases[] = {{1, 4, true}, {3, 4, true}, {0, 0, false}, {7, 0, false}, {2, 8, true}};
    for (const auto& c : cases) {
        effectSettings.antialiasing = c.setting;
        ASSERT_EQ(loadPreviewResources(), 0);
        EXPECT_EQ(renderContext.aaFactor, c.factor) << c.setting;
        EXPECT_EQ(renderContext.sampleTile != nullptr, c.tile) << c.setting;
        releasePreviewResources();
    }
    renderContext.aaFactor = 4;
}

TEST(MainPanelPoolTest, AllThirtySlotsAreNullAfterTheMainPanel) {
    for (const char* text : {"set 150 2\nset 151 1\nok\n", "cancel\n", "close\n"}) {
        standin::resetGui();
        std::string error;
        ASSERT_TRUE(standin::setGuiScript(text, error)) << error;
        showMainPanel();
        for (PopupItem* item : popupItemPool) EXPECT_EQ(item, nullptr);
        EXPECT_EQ(popupListHeader, nullptr);
        EXPECT_EQ(standin::guiCounts().openCatalogues, 0u);
    }
    standin::resetGui();
}

}  // namespace
