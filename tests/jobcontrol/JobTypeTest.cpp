// The job type of a job and the fragment each type sends: exact texts,
// where each value comes from, and what a missing user id does.

#include <arvex/jobcontrol.h>

#include "JobControlSupport.h"

namespace {

using arvex::test::expectStamped;
using arvex::test::JobControlTest;
using arvex::test::kHostName;
using arvex::test::lines;
using arvex::test::OutputBuffer;
using arvex::test::TestJob;

constexpr char kLf[] = "\n";

using Writer = int (*)(const JobInfo *, InsertBuffer *, const char *);

// Run a writer on job with the line end lf and return what it appended.
std::string write(Writer writer, const TestJob &job, const char *lf = kLf, int expectedResult = 0)
{
  OutputBuffer out;
  EXPECT_EQ(writer(job.get(), out.get(), lf), expectedResult);
  EXPECT_TRUE(out.consistent());
  return out.text();
}

// The values a fragment carries, as the test expects them.
struct Expected {
  std::string userId = {};
  std::string userCode = {};
  std::string password = {};
  std::string fileName = {};
  std::string login = "alice";
};

std::string normalPrint(const Expected &e, const std::string &time)
{
  const std::string host(kHostName);
  return lines({"mark",
                " (" + e.userId + ") (" + e.userCode + ") (" + time + ") {setuserinfo} stopped",
                "cleartomark",
                "mark {",
                "<<",
                "\t/JobType 0",
                "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                "\t\t/UserCode (" + e.userCode + ")",
                "\t\t/Time (" + time + ")",
                "\t\tisGenuine not isEnhancedFeatures or {",
                "\t\t/HostLoginName (" + e.login + ")",
                "\t\t/HostName (" + host + ")",
                "\t\t}if",
                "\t>>",
                ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                "} stopped cleartomark"});
}

std::string userInfo(const Expected &e, const std::string &time)
{
  return lines({"mark", "  (" + e.userId + ") (" + e.userCode + ") (" + time + ") {setuserinfo} stopped",
                "cleartomark"});
}

std::string lockedPrint(const Expected &e, const std::string &time)
{
  const std::string host(kHostName);
  return userInfo(e, time) + lines({"mark {",
                                    "<<",
                                    "\t/JobType 1",
                                    "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                                    "\t\t/Time (" + time + ")",
                                    "\t\t/Password (" + e.password + ")",
                                    "\t\tisGenuine not isEnhancedFeatures or {",
                                    "\t\t/HostLoginName (" + e.login + ")",
                                    "\t\t/HostName (" + host + ")",
                                    "\t\t}if",
                                    "\t>>",
                                    ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                                    "} stopped cleartomark"});
}

std::string samplePrint(const Expected &e, const std::string &time)
{
  const std::string host(kHostName);
  return userInfo(e, time) + lines({"mark {",
                                    "<<",
                                    "\t/JobType 2",
                                    "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                                    "\t\t/Time (" + time + ")",
                                    "\t\tisGenuine not isEnhancedFeatures or {",
                                    "\t\t/HostLoginName (" + e.login + ")",
                                    "\t\t/HostName (" + host + ")",
                                    "\t\t}if",
                                    "\t>>",
                                    ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                                    "} stopped cleartomark"});
}

// folderLines: what stands inside the /dbox dictionary.
std::string documentServer(const Expected &e, const std::string &time, const std::string &folderLines)
{
  const std::string host(kHostName);
  return userInfo(e, time) +
         lines({"mark {",
                "<<",
                "\t/JobType 4",
                "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                "\t\t/Time (" + time + ")",
                "\t\t/Password (" + e.password + ")",
                "\t\t/JobID (" + e.fileName + ")",
                "\t\tisGenuine not isEnhancedFeatures or {",
                "\t\t/HostLoginName (" + e.login + ")",
                "\t\t/HostName (" + host + ")",
                "\t\t}if",
                "\t>>",
                "/JobAttr<<",
                "isGenuine not isEnhancedFeatures or {",
                "/dbox<<"}) +
         folderLines +
         lines({" >>", " }if", " >>", ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                "} stopped cleartomark"});
}

// Hold print on a device without reserved print times.
std::string holdPrintPlain(const Expected &e, const std::string &time)
{
  const std::string host(kHostName);
  return userInfo(e, time) + lines({"mark {",
                                    "<<",
                                    "\t/JobType 3",
                                    "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                                    "\t\t/Time (" + time + ")",
                                    "\t\t/JobID (" + e.fileName + ")",
                                    "\t\tisGenuine not isEnhancedFeatures or {",
                                    "\t\t/HostLoginName (" + e.login + ")",
                                    "\t\t/HostName (" + host + ")",
                                    "\t\t}if",
                                    "\t>>",
                                    ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                                    "} stopped cleartomark"});
}

// Hold print on a device with reserved print times; reserved empty when the
// job doesn't ask for one.
std::string holdPrintSaved(const Expected &e, const std::string &time, const std::string &reserved)
{
  const std::string host(kHostName);
  std::string text = userInfo(e, time) + lines({"mark {",
                                                "\t<< /JobType 3",
                                                "\t/JobInfo",
                                                "\t<<",
                                                "\t\t/UserID (" + e.userId + ")",
                                                "\t\t/Time(" + time + ")",
                                                "\t\t/JobID (" + e.fileName + ")",
                                                "\t\tisGenuine not isEnhancedFeatures or {",
                                                "\t\t/HostLoginName (" + e.login + ")",
                                                "\t\t/HostName (" + host + ")"});
  if (!reserved.empty())
    text += lines({"\t\t/PrintReservedTime(" + reserved + ")"});
  return text + lines({"\t\t}if",
                       "\t>>",
                       "\t/JobAttr << /Save 0 >>",
                       "\t>> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                       "} stopped cleartomark"});
}

std::string storedPrint(const Expected &e, const std::string &time, const std::string &save)
{
  const std::string host(kHostName);
  return userInfo(e, time) + lines({"mark {",
                                    "<<",
                                    "\t/JobType 3",
                                    "\t/JobInfo <<\t/UserID (" + e.userId + ")",
                                    "\t\t/Time (" + time + ")",
                                    "\t\t/Password (" + e.password + ")",
                                    "\t\t/JobID (" + e.fileName + ")",
                                    "\t\tisGenuine not isEnhancedFeatures or {",
                                    "\t\t/HostLoginName (" + e.login + ")",
                                    "\t\t/HostName (" + host + ")",
                                    "\t\t}if",
                                    "\t>>",
                                    "\t/JobAttr <<\t/Save " + save,
                                    "\t\t/Public false",
                                    "\t\t>>",
                                    ">> /ADeviceProcSet /ProcSet findresource /SetJobType get exec",
                                    "} stopped cleartomark"});
}

constexpr char kIdentity[] = "com.arvex.printsettings.11AUserID=u042 "
                             "com.arvex.printsettings.11AEnableUserCode=TRUE "
                             "com.arvex.printsettings.11AUserCode=4711 "
                             "com.arvex.printsettings.11APassword=2468 "
                             "com.arvex.printsettings.11AFileName=Minutes ";

class JobTypeTest : public JobControlTest {};

TEST_F(JobTypeTest, NormalPrintSendsUserIdCodeAndTime)
{
  TestJob job("jobcontrol-colour.ppd", kIdentity);
  expectStamped([&] { return write(getInsertStringForNormalPrint, job); },
                [](const std::string &t) { return normalPrint({"u042", "4711"}, t); });
}

TEST_F(JobTypeTest, NormalPrintWithoutAnyUserIdSendsEmptyStringsButLockedPrintFails)
{
  // The bare PPD has no AXUserId at all: no user id from anywhere.
  TestJob job("jobcontrol-bare.ppd");
  expectStamped([&] { return write(getInsertStringForNormalPrint, job); },
                [](const std::string &t) { return normalPrint({"", ""}, t); });

  for (Writer writer : {getInsertStringForLockedPrint, getInsertStringForSamplePrint,
                        getInsertStringForDocumentServerPrint, getInsertStringForPausedPrint,
                        getInsertStringForSavedPrint, getInsertStringForSav2Print}) {
    err_no = 0;
    EXPECT_EQ(write(writer, job, kLf, 1), "");
    EXPECT_EQ(err_no, ARVEX_ERR_NOOPTION) << "the absent user-id option is latched first";
  }
}

TEST_F(JobTypeTest, LockedAndSamplePrint)
{
  TestJob job("jobcontrol-colour.ppd", kIdentity);
  const Expected e{"u042", "4711", "2468"};
  expectStamped([&] { return write(getInsertStringForLockedPrint, job); },
                [&](const std::string &t) { return lockedPrint(e, t); });
  expectStamped([&] { return write(getInsertStringForSamplePrint, job); },
                [&](const std::string &t) { return samplePrint(e, t); });
}

TEST_F(JobTypeTest, DocumentServerWithAndWithoutFolders)
{
  const std::string options = std::string(kIdentity) +
                              "com.arvex.printsettings.11AFolderNumber=17 "
                              "com.arvex.printsettings.11AFolderPassword=9753";
  const Expected e{"u042", "4711", "2468", "Minutes"};

  TestJob colour("jobcontrol-colour.ppd", options);
  expectStamped([&] { return write(getInsertStringForDocumentServerPrint, colour); },
                [&](const std::string &t) {
                  return documentServer(e, t, lines({"\t\t/FolderNumber 17", "\t\t/FolderPassword (9753)"}));
                });

  // No DocumentServerFolderNumberSupport: the /dbox dictionary stays empty.
  TestJob mono("jobcontrol-mono.ppd", options);
  expectStamped([&] { return write(getInsertStringForDocumentServerPrint, mono); },
                [&](const std::string &t) { return documentServer(e, t, ""); });
}

TEST_F(JobTypeTest, HoldPrintInItsThreeForms)
{
  const Expected e{"u042", "4711", "", "Minutes"};

  // The monochrome device takes no reserved time.
  TestJob plain("jobcontrol-mono.ppd", kIdentity);
  expectStamped([&] { return write(getInsertStringForPausedPrint, plain); },
                [&](const std::string &t) { return holdPrintPlain(e, t); });

  // Supported, but the queue's AXEnableSpecifyTime is False.
  TestJob unset("jobcontrol-colour.ppd", kIdentity);
  expectStamped([&] { return write(getInsertStringForPausedPrint, unset); },
                [&](const std::string &t) { return holdPrintSaved(e, t, ""); });

  // The job's reserved time is sent as it stands.
  TestJob fromOption("jobcontrol-colour.ppd", std::string(kIdentity) +
                                                  "com.arvex.printsettings.11AEnableSpecifyTime=True "
                                                  "com.arvex.printsettings.11ASpecifyTime=22:30x");
  expectStamped([&] { return write(getInsertStringForPausedPrint, fromOption); },
                [&](const std::string &t) { return holdPrintSaved(e, t, "22:30x"); });

  // From the queue: hour 7, minute not custom.
  TestJob fromQueue("jobcontrol-colour.ppd",
                    std::string(kIdentity) + "AXEnableSpecifyTime=True AXTimeHour=Custom.7");
  expectStamped([&] { return write(getInsertStringForPausedPrint, fromQueue); },
                [&](const std::string &t) { return holdPrintSaved(e, t, "0700"); });
}

TEST_F(JobTypeTest, StoredPrintAndStoreAndPrintDifferOnlyInSave)
{
  TestJob job("jobcontrol-colour.ppd", kIdentity);
  const Expected e{"u042", "4711", "2468", "Minutes"};
  expectStamped([&] { return write(getInsertStringForSavedPrint, job); },
                [&](const std::string &t) { return storedPrint(e, t, "1"); });
  expectStamped([&] { return write(getInsertStringForSav2Print, job); },
                [&](const std::string &t) { return storedPrint(e, t, "2"); });
}

TEST_F(JobTypeTest, OptionValuesAreSentUnchecked)
{
  // A ")" ends the PostScript string early; the option is still sent as it
  // is, unlike a PPD value, which must pass its rule.
  TestJob job("jobcontrol-colour.ppd", "COM.arvex.PrintSettings.11aUserId='a)b c' "
                                       "com.arvex.printsettings.11APassword=12");
  expectStamped([&] { return write(getInsertStringForLockedPrint, job); },
                [](const std::string &t) { return lockedPrint({"a)b c", "", "12"}, t); });
}

TEST_F(JobTypeTest, QueueValuesFillWhatTheOptionsLeaveOut)
{
  TestJob job("jobcontrol-colour.ppd", "AXJobType=StoredPrint AXUserId=Custom.ab-1 AXEnableUserCode=True "
                                       "AXUserCode=Custom.0815 AXPassword=Custom.13579 AXFileName=Custom.Plan2");
  expectStamped([&] { return write(getInsertStringForSavedPrint, job); },
                [](const std::string &t) { return storedPrint({"ab-1", "0815", "13579", "Plan2"}, t, "1"); });
}

TEST_F(JobTypeTest, UserCodeOnlyWhenSwitchedOn)
{
  // Any value but "true" in some letter case switches it off.
  TestJob off("jobcontrol-colour.ppd", "com.arvex.printsettings.11AUserID=u "
                                       "com.arvex.printsettings.11AEnableUserCode=yes "
                                       "com.arvex.printsettings.11AUserCode=4711 AXEnableUserCode=True");
  EXPECT_EQ(useUserCode(off.get()), 0);
  expectStamped([&] { return write(getInsertStringForNormalPrint, off); },
                [](const std::string &t) { return normalPrint({"u", ""}, t); });

  TestJob queue("jobcontrol-colour.ppd", "AXEnableUserCode=True");
  EXPECT_EQ(useUserCode(queue.get()), 1);
  TestJob none("jobcontrol-bare.ppd");
  EXPECT_EQ(useUserCode(none.get()), 0);
}

TEST_F(JobTypeTest, JobTypeFromOptionOrQueue)
{
  struct Case {
    const char *options;
    int code;
  };
  const Case cases[] = {
      {"com.arvex.printsettings.11AJobType='Locked Print'", 2},
      {"com.arvex.printsettings.11AJobType='Sample Print'", 3},
      {"com.arvex.printsettings.11AJobType='Document Server'", 4},
      {"com.arvex.printsettings.11AJobType='Paused Print'", 5},
      {"com.arvex.printsettings.11AJobType='Saved Print'", 6},
      {"com.arvex.printsettings.11AJobType='Save Document Print'", 7},
      {"com.arvex.printsettings.11AJobType='locked print'", 1},
      // Option names compare as CUPS compares them: ignoring letter case,
      // whole names only.
      {"COM.ARVEX.PRINTSETTINGS.11AJOBTYPE='Sample Print'", 3},
      {"com.arvex.printsettings.11AJobTypes='Sample Print' com.arvex.printsettings.11AJobTyp=x", 1},
      // A present option decides even when the queue says otherwise.
      {"com.arvex.printsettings.11AJobType=Express AXJobType=LockedPrint", 1},
      {"AXJobType=LockedPrint", 2},
      {"AXJobType=SamplePrint", 3},
      {"AXJobType=DocServer", 4},
      {"AXJobType=HoldPrint", 5},
      {"AXJobType=StoredPrint", 6},
      {"AXJobType=StoreandPrint", 7},
      {"", 1},
  };
  for (const Case &c : cases) {
    TestJob job("jobcontrol-colour.ppd", c.options);
    EXPECT_EQ(getJobType(job.get()), c.code) << c.options;
    EXPECT_EQ(err_no, 0) << "the job type look-up latches nothing";
  }
  TestJob bare("jobcontrol-bare.ppd");
  EXPECT_EQ(getJobType(bare.get()), 1);
  TestJob queueOnly("jobcontrol-colour.ppd", "com.arvex.printsettings.11AJobType='Paused Print' AXJobType=DocServer");
  EXPECT_EQ(getPPDJobType(queueOnly.get()), 4);
}

TEST_F(JobTypeTest, ReservedTimeSupportAndSwitch)
{
  TestJob colour("jobcontrol-colour.ppd");
  EXPECT_EQ(isSpecifyTimeSupport(colour.get()), 1);
  EXPECT_EQ(isSpecifyTimeEnable(colour.get()), 0);
  TestJob odd("jobcontrol-odd.ppd");  // "True": any letter case counts here
  EXPECT_EQ(isSpecifyTimeSupport(odd.get()), 1);
  TestJob mono("jobcontrol-mono.ppd", "com.arvex.printsettings.11AEnableSpecifyTime=TRUE");
  EXPECT_EQ(isSpecifyTimeSupport(mono.get()), 0);
  EXPECT_EQ(isSpecifyTimeEnable(mono.get()), 1);
  TestJob refused("jobcontrol-colour.ppd", "com.arvex.printsettings.11ASpecifyTimeKeySupport=no");
  EXPECT_EQ(isSpecifyTimeSupport(refused.get()), 0);
}

}  // namespace
