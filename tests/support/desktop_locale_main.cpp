// The scenario tier's main: like the programs (Qt sets it at start-up), the tests take the locale from
// the environment, so a run under LC_ALL=de_DE.UTF-8 is a run on a comma-decimal desktop.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
