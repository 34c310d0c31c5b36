#include <gtest/gtest.h>

#include "applauncher-check/Suggest.h"

TEST(SuggestTest, ClosestName) {
  const std::vector<std::string> known = {"app.mainclass", "app.mainzep", "app.classpath",
                                          "arguments", "Application"};
  const struct {
    std::string name;
    std::string expected;
  } cases[] = {
      {"app.mainClass", "app.mainclass"},     // case
      {" app.mainclass\r", "app.mainclass"},  // surrounding white space
      {"application", "Application"},
      {"app.mainzip", "app.mainzep"},    // one edit
      {"app.clspath", "app.classpath"},  // two edits
      {"app.clpth", ""},                 // four edits
      {"app.mainXYZ", ""},               // three edits, the length unchanged
      {"argument", "arguments"},
      {"app.mainclassXYZ", ""},  // three longer
      {"", ""},
      {std::string(100000, 'x'), ""},  // long lines cost no quadratic time
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, closestName(c.name, known)) << c.name.substr(0, 40);
  }
}
