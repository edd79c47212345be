// Frees the renderer's process-wide caches (with cairo: the toy font faces and the fonts
// behind them) and the decoded artwork once every test has run, so that the leak checker
// reports only what the tests themselves leave.
#include <gtest/gtest.h>

#include "core/graphics.h"
#include "core/resources.h"

namespace {
class RendererCaches : public ::testing::Environment {
public:
    void TearDown() override {
        VSTGUI::resources::clearOverrides();
        VSTGUI::resources::releaseDecoded();
        VSTGUI::platformGraphics().releaseCaches();
    }
};
const auto* const gRendererCaches = ::testing::AddGlobalTestEnvironment(new RendererCaches);
}  // namespace
