// Job heads and job-control blocks built for eight printers on eight threads
// at once are those built alone: no state kept between jobs or threads
// (error latch, buffers, character conversion, cipher, the library's static
// buffers).

#include "arvex/test.h"
#include "job_head.h"
#include "job_texts.h"

#include <set>
#include <thread>

namespace {

using arvex::app::JobRequest;

TEST(JobHeadThreads, EightPrintersAtOnceWriteWhatEachWritesAlone)
{
  std::vector<JobRequest> jobs;
  for (const arvex::test::CaseRow &c : arvex::test::caseTable("job-heads.txt", 6))
    jobs.push_back({c[0], c[1], c[2], c[3], c[4], c[5]});
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

TEST(JobHeadThreads, EightPrintersAtOnceBuildTheirOwnBlocks)
{
  static constexpr char kDigits[] = "0123456789";
  // Blocks with marking text and numbering of the job's own: the library's static buffers in use.
  auto block = [](int i) {
    const std::string pin = std::to_string(1000 + i), mark = "10" + std::to_string(i % 8);
    arvex::app::JobRequest request{arvex::test::fixture("ppd/jobcontrol-colour.ppd"), "7", "user" + std::to_string(i),
                                   "Report", "1",
                                   "job-password=" + pin + " " PS "CCPCopyControlType='Copy Guard' " PS "CCPFont=Courier "
                                   PS "CCPCustomText=" + mark + mark + " " PS "BackgroundNumbering.Valid=On"};
    arvex::app::JobRecord job = arvex::app::openJobRecord(request);
    arvex::ps::JobTexts texts;
    if (!job || arvex::ps::readyJob(*job) || arvex::ps::buildTexts(*job, "%!PS\n", texts))
      return std::string("failed");
    std::string block = texts.block;  // the time stamps (runs of twelve digits) out
    for (size_t at = block.find_first_of(kDigits); at != std::string::npos; at = block.find_first_of(kDigits, at)) {
      const size_t end = std::min(block.find_first_not_of(kDigits, at), block.size());
      if (end - at == 12)
        block.replace(at++, 12, "T");
      else
        at = end;
    }
    return block;
  };
  std::vector<std::string> alone;
  for (int i = 0; i < 8; ++i)
    alone.push_back(block(i));
  ASSERT_NE(alone[3].find("/Password (1003)"), std::string::npos) << alone[3];
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 20; ++round)
        mismatches[i] += block(i) != alone[i];
    });
  for (std::thread &thread : threads)
    thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

}  // namespace
