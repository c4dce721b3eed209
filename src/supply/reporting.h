// Supply-level and printer-state reporting while a job runs.
//
// StartReportLevels marks the queue's PPD for the job and, when the job has
// a device URI and the PPD describes the printer's markers, starts a thread
// that asks the backend through the CUPS side channel for the marker levels
// (and, on network queues, the printer's error state) every few seconds and
// reports them to the scheduler as "ATTR:" and "STATE:" lines on standard
// error. StopReportLevels ends and joins the thread.
#ifndef ARVEX_REPORT_LEVELS_H
#define ARVEX_REPORT_LEVELS_H

#include <pthread.h>
#include <stdbool.h>
#include <stdint.h>

#include <arvex/cups.h>

#ifdef __cplusplus
extern "C" {
#endif

/* How the printer is reached (GetDeviceType). */
enum { REPORT_DEVICE_USB = 0, REPORT_DEVICE_NETWORK = 1, REPORT_DEVICE_NONE = 2 };

/* How many markers the printer has (GetColorType). */
enum { REPORT_COLOR_MONO = 0, REPORT_COLOR_CMYK = 1, REPORT_COLOR_UNKNOWN = 2 };

/* Side-channel status values that decide what a cycle does. */
enum { REPORT_STATUS_OK = 1, REPORT_STATUS_NOT_IMPLEMENTED = 7 };

/* The printer's markers as the PPD names them, and their last levels. The
   texts point into the PPD's attributes, which must stay open while the
   reporting thread runs. Only entry 0 is used for a monochrome printer. */
typedef struct SupplyInfo {
  const char *markerColors[4]; /* values of "cupsMarkerName" 0..3 */
  const char *markerNames[4];  /* their translation texts */
  const char *markerTypes[4];  /* the value of "AXMarkerTypes", for each */
  int32_t markerLevels[4];     /* levels last read, 0 before the first */
} SupplyInfo;

/* The reporting thread's record; the thread is its only user until
   StopReportLevels releases it. */
typedef struct ReportLevelsContext {
  pthread_t thread;
  SupplyInfo *supplyInfo; /* owned */
  int32_t deviceType;     /* REPORT_DEVICE_USB or REPORT_DEVICE_NETWORK */
  int32_t colorType;      /* REPORT_COLOR_MONO or REPORT_COLOR_CMYK */
  int32_t cycleTime;      /* seconds between two query cycles, >= 1 */
} ReportLevelsContext;

/* 1 when the printer states are to be reported: the PPD carries
   "cupsSNMPSupplies" with a value other than "True", so the backend leaves
   them to the filter. Written only before the thread starts. */
extern unsigned char current_cupsSNMPSupplies;

/* The 16-bit printer state last reported, -1 before the first report. Used
   by the reporting thread alone. */
extern int32_t current_state;

/* Mark the PPD (defaults, then the job options) and start the reporting
   thread when the job and the PPD allow one. NULL when no thread runs; the
   PPD is not marked at all when options, argv or ppd is NULL. */
ReportLevelsContext *StartReportLevels(int numOptions, cups_option_t *options, char *argv[], ppd_file_t *ppd);

/* Stop and join the thread, then release the context and its SupplyInfo.
   Returns at once even when the thread waits for the backend. NULL does
   nothing. */
void StopReportLevels(ReportLevelsContext *context);

/* The thread's start routine: query cycles until stopped, or until the
   backend says it offers no such request. */
void *ProcReportLevels(void *context);

/* Seconds between two query cycles for the job's device URI. */
int GetThreadCycleTime(ppd_file_t *ppd, char *argv[]);

/* The device URI's scheme in scheme[0..size), or NULL without a usable URI. */
char *GetScheme(char *argv[], char *scheme, int size);

/* REPORT_DEVICE_USB, REPORT_DEVICE_NETWORK or REPORT_DEVICE_NONE. */
int GetDeviceType(char *argv[]);

/* REPORT_COLOR_CMYK, REPORT_COLOR_MONO or REPORT_COLOR_UNKNOWN. */
int GetColorType(ppd_file_t *ppd);

/* 1 when the system's CUPS library offers the side-channel SNMP request. */
int IsAvailableRelatedAPI(void);

/* Start a thread running routine(thread); false when thread is NULL or the
   thread can't be created. The thread runs with every signal blocked. */
bool InitReportLevelsThread(pthread_t *thread, void *(*routine)(void *));

/* False for the status that ends the reporting thread. */
bool IsEnableRetrySupplyInfo(int status);

/* Fill the marker texts from the PPD; 1 when all were found. */
int GetSupplyInfoFromPPD(ppd_file_t *ppd, int colorType, SupplyInfo *info);

/* One query cycle: 1 when fresh levels are to be sent, 7 when the thread is
   to end, anything else when nothing is sent this cycle. */
int GetCurrentSupplyInfo(SupplyInfo *info, int deviceType, int colorType);

/* Levels (and printer state) by SNMP through the backend; a side-channel
   status, 1 on success. */
int GetSupplyInfoBySNMP(SupplyInfo *info, int colorType, double timeout);

/* Read hrPrinterDetectedErrorState and report the changed conditions;
   1 when the state was read, 0 when the request failed. */
int GetPrinterStateBySNMP(double timeout);

/* Levels from the "RTN:" field of the USB device ID; 1 on success. */
int GetSupplyInfoByUSB(SupplyInfo *info, int colorType, double timeout);

/* Write the four "ATTR:" lines of the markers. */
void SendSupplyInfo(SupplyInfo *info, int colorType);

#ifdef __cplusplus
}
#endif

#endif
