// Frees cairo's process-wide caches (toy font faces and the fonts behind them) once every
// test has run, so that the leak checker reports only what the tests themselves leave.
#include <cairo.h>
#include <gtest/gtest.h>

#include "core/resources.h"

namespace {
class CairoCaches : public ::testing::Environment {
public:
    void TearDown() override {
        VSTGUI::resources::clearOverrides();
        cairo_debug_reset_static_data();
    }
};
const auto* const gCairoCaches = ::testing::AddGlobalTestEnvironment(new CairoCaches);
}  // namespace
