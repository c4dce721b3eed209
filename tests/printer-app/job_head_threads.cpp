// Job heads built for eight printers on eight threads at once are those
// built alone: no state kept between jobs or threads (error latch, buffers,
// character conversion, cipher).

#include "arvex/test.h"
#include "job_head.h"

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

}  // namespace
