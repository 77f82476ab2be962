#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

// One QApplication for the whole program, made before the first test and never on a real
// display: the widgets are drawn offscreen, and Qt gets a runtime folder of its own.
class TQtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    kavrel::test::TTempDir runtime_;
    int argc_ = 1;
    char name_[14] = "desktop_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
