// Levels, error states and device IDs as IPP shows them; bad values show nothing.
#include "supply_rules.h"

#include <gtest/gtest.h>

using namespace arvex::app;
using Levels = std::optional<std::vector<int>>;

TEST(SupplyRules, LevelsStatesAndDeviceIds)
{
  for (const auto &[level, shown] : {std::pair<long, std::optional<int>>{-100, -3}, {0, 0}, {100, 100}, {-1, std::nullopt},
                                     {-101, std::nullopt}, {101, std::nullopt}})
    EXPECT_EQ(ippLevel(level), shown) << level;
  // noPaper|inputTrayEmpty; doorOpen|jammed|outputFull; lowPaper|inputTrayMissing|outputTrayMissing
  EXPECT_EQ(reasonsOf(0x4004), PAPPL_PREASON_MEDIA_EMPTY);
  EXPECT_EQ(reasonsOf(0x0C08),
            PAPPL_PREASON_DOOR_OPEN | PAPPL_PREASON_COVER_OPEN | PAPPL_PREASON_MEDIA_JAM | PAPPL_PREASON_OTHER);
  EXPECT_EQ(reasonsOf(0x80C0), PAPPL_PREASON_MEDIA_LOW | PAPPL_PREASON_INPUT_TRAY_MISSING | PAPPL_PREASON_OTHER);
  const std::pair<const char *, Levels> ids[] = {
      {"MFG:Arvex;RTN:x/80,60,40,20;MDL:C5200;", std::vector{80, 60, 40, 20}}, {"RTN:;x/-100,0,1,2", std::vector{-3, 0, 1, 2}},
      {"MFG:Arvex;MDL:C5200;", std::nullopt}, {"RTN:80,60,40,20;", std::nullopt}, {"RTN:x/80,60,40;", std::nullopt},
      {"RTN:x/80,60,toner,20", std::nullopt}, {"RTN:x/80,60,40,101", std::nullopt}, {"RTN:x/80,60,40,20,10", std::nullopt},
  };
  for (const auto &[id, levels] : ids)
    EXPECT_EQ(rtnLevels(id, 4), levels) << id;
}
