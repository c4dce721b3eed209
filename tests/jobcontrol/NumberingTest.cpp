// Background numbering: when the fragment is sent, and the codes of its
// settings from the job options, the queue and the fallbacks.

#include <arvex/numbering.h>

#include "JobControlSupport.h"

namespace {

using arvex::test::JobControlTest;
using arvex::test::lines;
using arvex::test::OutputBuffer;
using arvex::test::TestJob;

std::string numbering(int size, int density, int color, int first)
{
  return lines({"mark {", " <<", " /Enable true", " /FontSize " + std::to_string(size),
                " /Density " + std::to_string(density), " /Color " + std::to_string(color),
                " /InitialNumber " + std::to_string(first), " >>",
                " /ADeviceProcSet /ProcSet findresource/SetSecurityNumbering get exec", "} stopped cleartomark"});
}

std::string write(const TestJob &job)
{
  OutputBuffer out;
  getInsertStringForBackgroundNumbering(job.get(), out.get(), "\n");
  EXPECT_TRUE(out.consistent());
  return out.text();
}

constexpr char kOn[] = "com.arvex.printsettings.BackgroundNumbering.Valid=On ";

class NumberingTest : public JobControlTest {};

TEST_F(NumberingTest, SentOnlyWhenSupportedAndAskedFor)
{
  const struct {
    const char *ppd;
    const char *options;
    std::string expected;
  } cases[] = {
      {"jobcontrol-colour.ppd", "AXBackgroundNumbering=True", numbering(1, 1, 0, 1)},
      {"jobcontrol-colour.ppd", "", ""},
      {"jobcontrol-colour.ppd", "com.arvex.printsettings.BackgroundNumbering.Valid=On AXBackgroundNumbering=False",
       numbering(1, 1, 0, 1)},
      {"jobcontrol-colour.ppd", "com.arvex.printsettings.BackgroundNumbering.Valid=Off AXBackgroundNumbering=True",
       ""},
      {"jobcontrol-colour.ppd", "com.arvex.printsettings.BackgroundNumbering.Valid=on", ""},
      {"jobcontrol-bare.ppd", kOn, ""},                                // no support attribute
      {"jobcontrol-odd.ppd", "AXBackgroundNumbering=True", ""},         // support "True"
      {"", kOn, ""},
  };
  for (const auto &c : cases) {
    TestJob job(c.ppd, c.options);
    EXPECT_EQ(write(job), c.expected) << c.ppd << " " << c.options;
  }
  EXPECT_EQ(err_no, 0) << "numbering latches nothing";
}

TEST_F(NumberingTest, SettingsFromOptionsQueueAndFallbacks)
{
  const struct {
    const char *options;
    std::string expected;
  } cases[] = {
      {"com.arvex.printsettings.BackgroundNumbering.Size=Large "
       "com.arvex.printsettings.BackgroundNumbering.Density=VeryDark "
       "com.arvex.printsettings.BackgroundNumbering.Color=Red "
       "com.arvex.printsettings.BackgroundNumbering.StartNumber=0012",
       numbering(2, 3, 4, 12)},
      {"AXBNSize=Small AXBNDensity=Light AXBNColor=Blue AXStartNumber=Custom.500", numbering(0, 0, 6, 500)},
      // Unknown names fall back; a present option wins over the queue.
      {"com.arvex.printsettings.BackgroundNumbering.Size=small "
       "com.arvex.printsettings.BackgroundNumbering.Density='Very Dark' "
       "com.arvex.printsettings.BackgroundNumbering.Color=Purple "
       "com.arvex.printsettings.BackgroundNumbering.StartNumber=-3 AXBNSize=Large AXBNColor=Blue",
       numbering(1, 1, 0, -3)},
      {"com.arvex.printsettings.BackgroundNumbering.StartNumber=many AXStartNumber=Custom.500",
       numbering(1, 1, 0, 0)},
      {"AXBNDensity=Dark AXBNColor=Cyan", numbering(1, 2, 1, 1)},
  };
  for (const auto &c : cases) {
    TestJob job("jobcontrol-colour.ppd", std::string(kOn) + c.options);
    EXPECT_EQ(write(job), c.expected) << c.options;
  }
}

TEST_F(NumberingTest, ColourOnlyOnAColourDevice)
{
  TestJob mono("jobcontrol-mono.ppd", std::string(kOn) + "com.arvex.printsettings.BackgroundNumbering.Color=Red");
  EXPECT_EQ(write(mono), numbering(1, 1, 0, 1));
  TestJob colour("jobcontrol-colour.ppd", std::string(kOn) + "com.arvex.printsettings.BackgroundNumbering.Color=Red");
  EXPECT_EQ(BnGetColor(colour.get()), 4);
  TestJob none("", "com.arvex.printsettings.BackgroundNumbering.Color=Red");
  EXPECT_EQ(BnGetColor(none.get()), 0);
}

}  // namespace
