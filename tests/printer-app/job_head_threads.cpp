// Job heads built for eight printers on eight threads at once are those
// built alone: no state kept between jobs or threads (error latch, buffers,
// character conversion, cipher).

#include "job_head.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using arvex::app::JobRequest;

const std::string kUserAuth = ARVEX_SOURCE_DIR "/fixtures/ppd/pjl-userauth.ppd";
const std::string kOptions = ARVEX_SOURCE_DIR "/fixtures/ppd/pjl-options.ppd";
const std::string kAuth = "AXEnableUserAuth=True AXAuthLoginUserNameType=DefinedUserID AXAuthEnableEncryption=True ";

// Eight printers' jobs, each head different from the others.
std::vector<JobRequest> printers()
{
  return {
      {kUserAuth, "1", "alice", "Report", "1",
       kAuth + "AXAuthLoginUserNameText=Custom.alice AXAuthLoginPassword=Custom.pw1 AXAuthEncryptionKey=Custom.k1"},
      {kUserAuth, "2", "bob", "Plan", "1", kAuth + "AXAuthLoginUserNameText=Custom.ユーザー AXAuthLoginPassword=Custom.パス "
                                                  "com.arvex.printsettings.UserAuth.AuthLanguage=1"},
      {kUserAuth, "3", "carol", "Memo", "1", kAuth + "AXAuthLoginUserNameText=Custom.陳大文 AXAuthLoginPassword=Custom.pw3 "
                                                    "com.arvex.printsettings.UserAuth.AuthLanguage=9"},
      {kUserAuth, "4", "dave", "Notes", "1", kAuth + "AXAuthLoginUserNameText=Custom.김철수 com.arvex.printsettings.UserAuth.AuthLanguage=13"},
      {kUserAuth, "5", "élodie", "Lettre", "1", "AXAuthLoginUserNameType=LoginUserName Duplex=DuplexNoTumble"},
      {kOptions, "6", "frank", "Copies", "7", "Collate=True AXJobComment=Custom.urgent"},
      {kOptions, "7", "grace", "Letter", "2", "PageSize=Letter Duplex=DuplexTumble AXCopyLimit=Custom.12"},
      {kOptions, "8", "heidi", "Density", "3", "Collate=False AXDensity=Custom.2.5"},
  };
}

TEST(JobHeadThreads, EightPrintersAtOnceWriteWhatEachWritesAlone)
{
  const std::vector<JobRequest> jobs = printers();
  std::vector<std::string> alone(jobs.size());
  std::string error;
  for (size_t i = 0; i < jobs.size(); ++i)
    ASSERT_TRUE(arvex::app::buildJobHead(jobs[i], alone[i], error)) << error;
  ASSERT_EQ(std::set<std::string>(alone.begin(), alone.end()).size(), jobs.size()) << "heads must differ";
  ASSERT_NE(alone[1].find("AUTHENTICATIONUSERNAMECHARSET = 1"), std::string::npos);

  std::vector<int> mismatches(jobs.size(), 0);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < jobs.size(); ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 40; ++round) {
        std::string head, why;
        if (!arvex::app::buildJobHead(jobs[i], head, why) || head != alone[i])
          ++mismatches[i];
      }
    });
  for (std::thread &thread : threads)
    thread.join();
  for (size_t i = 0; i < jobs.size(); ++i)
    EXPECT_EQ(mismatches[i], 0) << "printer " << i + 1;
}

}  // namespace
